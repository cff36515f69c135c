// The floor for this engine on this machine: one bare view with the program's
// engine settings and helper arrangement, no window chrome. Prints the epoch
// time in milliseconds when its first page load ends, then keeps running
// until it is told to stop (so that memory and idle CPU can be read).
#include "enginehelper.h"
#include "enginesubprocess.h"
#include "language.h"
#include "simpleapp.h"
#include "startengine.h"

#include <QApplication>
#include <QDateTime>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (isEngineSubProcess(argc, argv))
        return runEngineSubProcess(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QApplication application(argc, argv);
    Language::instance()->init();
    startEngine();

    const QStringList arguments = QCoreApplication::arguments();
    const int views = arguments.size() > 2 ? qMax(1, arguments.at(2).toInt()) : 1;
    for (int i = 0; i < views; ++i) {
        auto *view = new QWebEngineView;
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->setPage(new QWebEnginePage(SimpleApp::instance()->profile(), view));
        view->resize(764, 587);
        QObject::connect(view->page(), &QWebEnginePage::loadFinished, view, [i](bool ok) {
            std::printf("load end %d %s %lld\n", i, ok ? "ok" : "failed", QDateTime::currentMSecsSinceEpoch());
            std::fflush(stdout);
        });
        view->load(QUrl::fromUserInput(arguments.value(1, QStringLiteral("about:blank"))));
        view->show();
    }
    const int result = QApplication::exec();
    shutdownEngine();
    return result;
}
