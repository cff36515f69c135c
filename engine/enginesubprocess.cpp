#include "enginesubprocess.h"

#include <QCoreApplication>

#include <cstring>

namespace QtWebEngineCore {
// Exported by libQt5WebEngineCore; the stock helper executable is a thin
// wrapper around it.
int processMain(int argc, const char **argv);
} // namespace QtWebEngineCore

bool isEngineSubProcess(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--type=", 7) == 0)
            return true;
    }
    return false;
}

int runEngineSubProcess(int argc, char **argv)
{
    // Like the stock helper: a core application only, no GUI connection.
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QCoreApplication application(argc, argv);
    QtWebEngineCore::processMain(argc, const_cast<const char **>(argv));
    return -1;
}
