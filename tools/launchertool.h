#pragma once

#include <QObject>
#include <QStringList>
#include <QTextStream>

// The launcher's side of the program, for demos and end-to-end tests:
//   listen                 serve the launcher's server name and print every
//                          message received, one per line, until stopped
//   open --oem O --package P --type T --url U --game G
//                          write a request file, print its name, start the
//                          store program beside this tool with it
//   event N                fire file event N
class LauncherTool : public QObject
{
    Q_OBJECT
public:
    explicit LauncherTool(QObject *parent = nullptr);

    // Runs one command; returns the process exit code. listen returns only
    // when the event loop ends.
    int run(const QStringList &arguments);

    static QString usage();
    // Where the store program is: beside this tool, or where it is installed.
    static QString storeProgram();

private:
    int listen();
    int open(const QStringList &options);
    int fireEvent(const QStringList &options);
    int fail(const QString &reason);
    static bool startStoreProgram(const QString &program, const QString &requestName);

    QTextStream m_out;
    QTextStream m_err;
};
