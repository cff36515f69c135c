#pragma once

#include <QByteArrayList>
#include <QStringList>

#include <vector>

// The program's command line, taken apart before any application object
// sees it. Qt reads its own options out of the argv it is given (a plugin to
// load, a style sheet file) and the engine reads its switches from the
// application's arguments, yet the launch argument is only ever the name of
// a request file. So the application objects get the program's name and,
// from the arguments after the first, the program's own switches: "--url="
// (the start address when a page has none) and "--enable-chrome-runtime".
class LaunchArguments
{
public:
    LaunchArguments(int argc, char **argv);
    LaunchArguments(const LaunchArguments &) = delete;
    LaunchArguments &operator=(const LaunchArguments &) = delete;

    // Every argument as given, read as UTF-8 whatever the locale says; the
    // program's name first.
    QStringList all() const { return m_all; }

    // For QApplication and QCoreApplication; they stay valid as long as this
    // object does.
    int &applicationArgc() { return m_applicationArgc; }
    char **applicationArgv() { return m_applicationArgv.data(); }
    QStringList applicationArguments() const;

    static bool isProgramSwitch(const QString &argument);

private:
    QStringList m_all;
    QByteArrayList m_kept;
    std::vector<char *> m_applicationArgv;
    int m_applicationArgc = 0;
};
