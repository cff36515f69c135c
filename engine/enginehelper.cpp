#include "enginehelper.h"

#include "enginesubprocess.h"

#include <QCoreApplication>

namespace QtWebEngineCore {
// Exported by libQt5WebEngineCore; the stock helper executable is a thin
// wrapper around it.
int processMain(int argc, const char **argv);
} // namespace QtWebEngineCore

int runEngineSubProcess(int argc, char **argv)
{
    if (!startedByEngineParent())
        return -1;
    // Like the stock helper: a core application only, no GUI connection.
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QCoreApplication application(argc, argv);
    QtWebEngineCore::processMain(argc, const_cast<const char **>(argv));
    return -1;
}
