#include "launcharguments.h"

LaunchArguments::LaunchArguments(int argc, char **argv)
{
    for (int i = 0; i < argc; ++i)
        m_all << QString::fromUtf8(argv[i]);
    if (argc > 0)
        m_kept << QByteArray(argv[0]);
    // The first argument is the primary's request name even when it looks
    // like a switch: a name never becomes one.
    for (int i = 2; i < argc; ++i) {
        if (isProgramSwitch(m_all.at(i)))
            m_kept << QByteArray(argv[i]);
    }
    for (QByteArray &kept : m_kept)
        m_applicationArgv.push_back(kept.data());
    m_applicationArgc = int(m_applicationArgv.size());
    // Qt expects argv[argc] to be null, like the one main() gets.
    m_applicationArgv.push_back(nullptr);
}

QStringList LaunchArguments::applicationArguments() const
{
    QStringList arguments;
    for (const QByteArray &kept : m_kept)
        arguments << QString::fromUtf8(kept);
    return arguments;
}

bool LaunchArguments::isProgramSwitch(const QString &argument)
{
    return argument == QLatin1String("--enable-chrome-runtime") || argument.startsWith(QLatin1String("--url="));
}
