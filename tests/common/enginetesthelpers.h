#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QWebEnginePage;
class QWebEngineView;
class QWidget;

// Small helpers for tests that drive real pages.
namespace EngineTest {

// Waits until predicate holds, running the event loop without pauses.
// QTest::qWaitFor sleeps between rounds, and the engine needs many rounds of
// the event loop for one page load: a load takes seconds there.
bool waitFor(const std::function<bool()> &predicate, int timeoutMs = 15000);

// Runs the event loop for ms, without the pauses of QTest::qWait.
void settle(int ms);

// Runs script in the page and waits for its result (invalid on time-out).
QVariant evaluate(QWebEnginePage *page, const QString &script, int timeoutMs = 10000);

// A real click (press and release) on the view's input widget; pages count it
// as a user gesture, unlike script.
void click(QWebEngineView *view, const QPoint &position, Qt::MouseButton button = Qt::LeftButton);
// Clicks the centre of the element matching selector.
bool clickElement(QWebEngineView *view, const QString &selector);

// The top-level widget whose title is title, if one is visible.
QWidget *topLevelWithTitle(const QString &title);

// Saves a picture of widget under <build>/shots/<name>.png; returns the path.
QString saveShot(QWidget *widget, const QString &name);

// Keeps every message the process logs while it lives (and still passes
// them on), so that a test can tell what reached the log.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    int count(const QString &text) const;
};

} // namespace EngineTest

// QTRY_VERIFY and QTRY_COMPARE for pages: they poll through waitFor.
#define ENGINE_TRY_VERIFY(expr) QVERIFY2(EngineTest::waitFor([&]() { return bool(expr); }), #expr)
#define ENGINE_TRY_COMPARE(actual, expected)                                                                    \
    do {                                                                                                       \
        EngineTest::waitFor([&]() { return (actual) == (expected); });                                         \
        QCOMPARE(actual, expected);                                                                            \
    } while (false)
