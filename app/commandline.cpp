#include "commandline.h"

#include "version.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstring>

namespace CommandLine {

namespace {

QString usage()
{
    return QCoreApplication::translate(
        "CommandLine",
        "Usage: tradory [REQUEST]\n"
        "Store window of the Vellora X game launcher.\n"
        "\n"
        "REQUEST is the name of a request file in the launcher's request folder\n"
        "(a name, not a path). The program reads and deletes that file and opens a\n"
        "window for the game package it names; without REQUEST it opens the store's\n"
        "start page. When the program already runs, a new start hands its request\n"
        "to the running one and exits.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  --version      show the version and exit\n"
        "\n"
        "Exit status: 0 when the last window closed or the launcher asked to quit;\n"
        "255 when the request went to the program already running; 1 when the\n"
        "program's own request was refused and no window opened.\n"
        "\n"
        "Environment: VELLORA_CONFIG names the launcher's configuration file\n"
        "(default ~/.config/VelloraX/launcher.ini).\n");
}

void print(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int answerInformationalOption(int argc, char *argv[])
{
    // Only a lone option counts: the engine starts this executable with many
    // switches of its own, and a launch request is always a single name.
    if (argc != 2)
        return -1;
    const char *option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        print(usage());
        return 0;
    }
    if (std::strcmp(option, "--version") == 0) {
        print(QStringLiteral("tradory %1\n").arg(QLatin1String(TRADORY_VERSION)));
        return 0;
    }
    return -1;
}

} // namespace CommandLine
