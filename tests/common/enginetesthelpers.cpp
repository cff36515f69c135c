#include "enginetesthelpers.h"

#include "testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QMouseEvent>
#include <QPixmap>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

namespace EngineTest {

bool waitFor(const std::function<bool()> &predicate, int timeoutMs)
{
    if (predicate())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&]() {
        if (predicate())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return predicate();
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QVariant evaluate(QWebEnginePage *page, const QString &script, int timeoutMs)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant &value) {
        result = value;
        done = true;
    });
    waitFor([&]() { return done; }, timeoutMs);
    return result;
}

void click(QWebEngineView *view, const QPoint &position, Qt::MouseButton button)
{
    QWidget *target = view->focusProxy() ? view->focusProxy() : view;
    const QPoint global = target->mapToGlobal(position);
    QMouseEvent press(QEvent::MouseButtonPress, position, global, button, button, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, position, global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

bool clickElement(QWebEngineView *view, const QString &selector)
{
    const QVariantList box = evaluate(view->page(), QStringLiteral("(function () {"
                                                                   "  var r = document.querySelector(%1).getBoundingClientRect();"
                                                                   "  return [r.left + r.width / 2, r.top + r.height / 2];"
                                                                   "})()")
                                                        .arg(QStringLiteral("'%1'").arg(selector)))
                                 .toList();
    if (box.size() != 2)
        return false;
    click(view, QPoint(int(box.at(0).toDouble()), int(box.at(1).toDouble())));
    return true;
}

QWidget *topLevelWithTitle(const QString &title)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == title)
            return widget;
    }
    return nullptr;
}

QString saveShot(QWidget *widget, const QString &name)
{
    const QString folder = TestEnvironment::buildDir() + QStringLiteral("/shots");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

namespace {

QStringList capturedLines;
QtMessageHandler passOn = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    capturedLines << message;
    if (passOn)
        passOn(type, context, message);
}

} // namespace

LogCapture::LogCapture()
{
    capturedLines.clear();
    passOn = qInstallMessageHandler(capture);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(passOn);
    passOn = nullptr;
}

QStringList LogCapture::lines() const
{
    return capturedLines;
}

int LogCapture::count(const QString &text) const
{
    int n = 0;
    for (const QString &line : qAsConst(capturedLines))
        n += line.contains(text) ? 1 : 0;
    return n;
}

} // namespace EngineTest
