#include "launchertool.h"

#include "version.h"

#include "filewatcher.h"
#include "vlauncher.h"
#include "vserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>

LauncherTool::LauncherTool(QObject *parent)
    : QObject(parent)
    , m_out(stdout)
    , m_err(stderr)
{
    m_out.setCodec("UTF-8");
    m_err.setCodec("UTF-8");
}

QString LauncherTool::usage()
{
    return QStringLiteral(
        "Usage: vellora-launcher <command>\n"
        "Plays the Vellora X launcher for the store program.\n"
        "\n"
        "Commands:\n"
        "  listen\n"
        "      Serve the launcher's local server (configuration key 35) and print\n"
        "      every message received, exactly, one per line, until stopped.\n"
        "  open [--oem O] [--package P] [--type T] [--url U] [--game G]\n"
        "      Write a request file into the request folder, print its name and\n"
        "      start the store program beside this tool with it (detached). The\n"
        "      program forwards the request when a primary instance runs.\n"
        "      Types: -tradory= (store), login, fromCloudLogin (sign-in), other.\n"
        "  event N\n"
        "      Fire launcher file event N (0 quit, 1 language changed, 2 close\n"
        "      sign-in windows).\n"
        "\n"
        "  --version\n"
        "      Print the version.\n"
        "\n"
        "Configuration: $VELLORA_CONFIG, else ~/.config/VelloraX/launcher.ini.\n"
        "Exit status: 0 on success, 1 on any error (reason on standard error).\n");
}

QString LauncherTool::storeProgram()
{
    // Beside the tool in a build tree; installed, the program has a folder of
    // its own, at the same place relative to the tool whatever the prefix.
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QStringLiteral("/tradory");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(folder + QLatin1Char('/') + QLatin1String(TRADORY_PROGRAM_FROM_TOOL)
                           + QStringLiteral("/tradory"));
}

int LauncherTool::fail(const QString &reason)
{
    m_err << "vellora-launcher: " << reason << '\n';
    m_err.flush();
    return 1;
}

int LauncherTool::run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return fail(QStringLiteral("no command given (try --help)"));
    const QString command = arguments.first();
    const QStringList options = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    if (command == QLatin1String("--version")) {
        m_out << "vellora-launcher " << TRADORY_VERSION << '\n';
        m_out.flush();
        return 0;
    }
    if (command == QLatin1String("listen")) {
        if (!options.isEmpty())
            return fail(QStringLiteral("listen takes no arguments"));
        return listen();
    }
    if (command == QLatin1String("open"))
        return open(options);
    if (command == QLatin1String("event"))
        return fireEvent(options);
    return fail(QStringLiteral("unknown command \"%1\" (try --help)").arg(command));
}

int LauncherTool::listen()
{
    const QString name = VLauncher::instance()->getAppConfigValue(AppConfig::LauncherServer).toString();
    VServer server;
    if (!server.startServer(name))
        return fail(QStringLiteral("cannot listen as \"%1\"").arg(name));
    connect(&server, &VServer::playCloudGame, this, [this](const QString &message) {
        m_out << message << '\n';
        m_out.flush();
    });
    m_err << "listening on " << server.socketPath() << '\n';
    m_err.flush();
    return QCoreApplication::exec();
}

int LauncherTool::open(const QStringList &options)
{
    static const QHash<QString, QString> keyOfOption = {
        {QStringLiteral("--oem"), QStringLiteral("oem")},
        {QStringLiteral("--package"), QStringLiteral("package_name")},
        {QStringLiteral("--type"), QStringLiteral("type")},
        {QStringLiteral("--url"), QStringLiteral("cloud_app_url")},
        {QStringLiteral("--game"), QStringLiteral("game_name")},
    };
    QJsonObject request;
    for (int i = 0; i < options.size(); i += 2) {
        const QString option = options.at(i);
        if (!keyOfOption.contains(option))
            return fail(QStringLiteral("unknown option \"%1\" for open").arg(option));
        if (i + 1 >= options.size())
            return fail(QStringLiteral("option %1 needs a value").arg(option));
        request.insert(keyOfOption.value(option), options.at(i + 1));
    }

    const QString program = storeProgram();
    if (!QFileInfo(program).isExecutable())
        return fail(QStringLiteral("store program not found at %1").arg(program));

    const QString folder = VLauncher::instance()->requestDir();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the request folder %1").arg(folder));
    const QString fileName = QStringLiteral("request-%1-%2.json")
                                 .arg(QDateTime::currentMSecsSinceEpoch())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    QFile file(folder + fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    const QByteArray json = QJsonDocument(request).toJson(QJsonDocument::Compact);
    if (file.write(json) != json.size() || !file.flush())
        return fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    file.close();

    if (!startStoreProgram(program, fileName)) {
        QFile::remove(folder + fileName);
        return fail(QStringLiteral("cannot start %1").arg(program));
    }
    m_out << fileName << '\n';
    m_out.flush();
    return 0;
}

bool LauncherTool::startStoreProgram(const QString &program, const QString &requestName)
{
    // The program outlives this tool. Were it to inherit our standard output
    // and error, a caller reading them (name=$(vellora-launcher open ...))
    // would wait for the store program to end; it logs to its own file.
    QProcess process;
    process.setProgram(program);
    process.setArguments({requestName});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

int LauncherTool::fireEvent(const QStringList &options)
{
    if (options.size() != 1)
        return fail(QStringLiteral("event needs exactly one number"));
    bool ok = false;
    const int event = options.first().toInt(&ok);
    if (!ok || event < 0)
        return fail(QStringLiteral("\"%1\" is not an event number").arg(options.first()));
    QString error;
    if (!FileWatcher::fireEvent(event, &error))
        return fail(error);
    return 0;
}
