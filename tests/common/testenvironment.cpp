#include "testenvironment.h"

#include "vlauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

TestEnvironment::TestEnvironment()
{
    m_dir.setAutoRemove(false);
    QDir().mkpath(dataRoot());
    QDir().mkpath(runtimeDir());
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("VELLORA_CONFIG", QFile::encodeName(configPath()));
    qputenv("LOCALAPPDATA", QFile::encodeName(dataRoot()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
    VLauncher::instance()->reload();
}

TestEnvironment::~TestEnvironment()
{
    // The engine may still be writing its cache for a moment after its
    // profile is gone: try again before giving up.
    for (int attempt = 0; attempt < 20 && !QDir(m_dir.path()).removeRecursively(); ++attempt)
        QThread::msleep(50);
}

void TestEnvironment::writeConfig(const QString &iniText) const
{
    QFile file(configPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(iniText.toUtf8());
    file.close();
    VLauncher::instance()->reload();
}

QString TestEnvironment::buildDir()
{
    const QByteArray fromEnv = qgetenv("TRADORY_BUILD_DIR");
    if (!fromEnv.isEmpty())
        return QFile::decodeName(fromEnv);
    return QCoreApplication::applicationDirPath() + QStringLiteral("/..");
}
