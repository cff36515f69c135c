#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives a test its own configuration file, app-data root and runtime folder,
// so that tests never see each other's (or the user's) sockets and files.
// Create it before anything reads the configuration.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString configPath() const { return m_dir.path() + QStringLiteral("/launcher.ini"); }
    QString dataRoot() const { return m_dir.path() + QStringLiteral("/data"); }
    QString runtimeDir() const { return m_dir.path() + QStringLiteral("/run"); }

    // Writes the configuration file ("[AppConfig]" lines and more) and makes
    // the launcher library read it again.
    void writeConfig(const QString &iniText) const;

    // Folder of the built programs (build/).
    static QString buildDir();

private:
    QTemporaryDir m_dir;
};
