// The offline page as the program shows it (a store window whose start address
// is refused): its motion ends on its own, pauses while the page is hidden,
// and the retry button's spinner ends even when the reload keeps the page.
#include "browserpage.h"
#include "browserview.h"
#include "cefwidget.h"
#include "enginetesthelpers.h"
#include "enginetestmain.h"
#include "language.h"
#include "startengine.h"
#include "testenvironment.h"
#include "testhttpserver.h"

#include <QSignalSpy>
#include <QVBoxLayout>

namespace {

// Every animation the page has run so far, kept by the page so that ones which
// ended (and so left document.getAnimations()) can still be asked about.
const char *const trackAnimations = R"JS(
(function () {
  window.seenAnimations = window.seenAnimations || [];
  document.getAnimations().forEach(function (a) {
    if (window.seenAnimations.indexOf(a) < 0) window.seenAnimations.push(a);
  });
  return window.seenAnimations.length;
})()
)JS";

// "<name>:<playState>:<iterations>" for each animation seen, current ones first.
const char *const describeAnimations = R"JS(
(function () {
  var all = document.getAnimations();
  (window.seenAnimations || []).forEach(function (a) { if (all.indexOf(a) < 0) all.push(a); });
  return all.map(function (a) {
    return (a.animationName || a.transitionProperty || '?') + ':' + a.playState + ':' + a.effect.getComputedTiming().iterations;
  });
})()
)JS";

} // namespace

class OfflinePageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void motionEndsAfterAFewCyclesAtRest();
    void motionPausesWhilePageIsHidden();
    void busySpinnerEndsWhenReloadKeepsThePage();

private:
    void showOfflinePage();
    QVariant evaluate(const QString &script) const { return EngineTest::evaluate(m_widget->browser.page(), script); }
    QStringList animations() const;
    QStringList animationsIn(const QString &state) const;

    TestEnvironment *m_env = nullptr;
    QWidget *m_window = nullptr;
    CefWidget *m_widget = nullptr;
};

void OfflinePageTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=offline-launcher\n"));
    Language::instance()->init();
    startEngine();
}

void OfflinePageTest::cleanupTestCase()
{
    shutdownEngine();
    delete m_env;
}

void OfflinePageTest::init()
{
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_window->resize(800, 600);
}

void OfflinePageTest::cleanup()
{
    delete m_window;
    m_widget = nullptr;
}

// A store window whose start address is refused: the program puts its offline
// page there.
void OfflinePageTest::showOfflinePage()
{
    QUrl refused;
    {
        TestHttpServer closed;
        QVERIFY(closed.start());
        refused = closed.url(QStringLiteral("/store/index.html"));
    }
    m_widget = new CefWidget(m_window);
    m_window->layout()->addWidget(m_widget);
    QSignalSpy loads(m_widget, &CefWidget::updateUI);
    m_widget->setStartUrl(refused.toString());
    m_window->show();
    m_widget->startBrowser();
    QVERIFY(EngineTest::waitFor([&]() { return loads.count() > 0; }));
    QVERIFY2(m_widget->browser.GetMainFrame().GetURL().contains(QLatin1String("/www/offline_cef.html?")),
             qPrintable(m_widget->browser.GetMainFrame().GetURL()));
    ENGINE_TRY_COMPARE(evaluate(QStringLiteral("document.visibilityState")).toString(), QStringLiteral("visible"));
}

QStringList OfflinePageTest::animations() const
{
    evaluate(QLatin1String(trackAnimations));
    return evaluate(QLatin1String(describeAnimations)).toStringList();
}

QStringList OfflinePageTest::animationsIn(const QString &state) const
{
    return animations().filter(QLatin1Char(':') + state + QLatin1Char(':'));
}

void OfflinePageTest::motionEndsAfterAFewCyclesAtRest()
{
    showOfflinePage();
    // The page still moves at first (it keeps its look), but never endlessly.
    ENGINE_TRY_VERIFY(!animationsIn(QStringLiteral("running")).isEmpty());
    const QStringList first = animations();
    QVERIFY2(first.filter(QStringLiteral(":Infinity")).isEmpty(), qPrintable(first.join(QLatin1Char(' '))));

    // A few cycles later everything has finished, and stays so.
    QStringList unfinished;
    const bool ended = EngineTest::waitFor(
        [&]() {
            unfinished.clear();
            for (const QString &animation : animations()) {
                if (!animation.contains(QLatin1String(":finished:")))
                    unfinished << animation;
            }
            return unfinished.isEmpty();
        },
        20000);
    QVERIFY2(ended, qPrintable(unfinished.join(QLatin1Char(' '))));
    EngineTest::settle(500);
    QVERIFY(animationsIn(QStringLiteral("running")).isEmpty());

    // At rest the plug hangs straight, as it does between two sways.
    QCOMPARE(evaluate(QStringLiteral("getComputedStyle(document.querySelector('.plug')).transform")).toString(),
             QStringLiteral("none"));
}

void OfflinePageTest::motionPausesWhilePageIsHidden()
{
    showOfflinePage();
    ENGINE_TRY_VERIFY(!animationsIn(QStringLiteral("running")).isEmpty());

    m_widget->browser.view()->hide();
    ENGINE_TRY_COMPARE(evaluate(QStringLiteral("document.visibilityState")).toString(), QStringLiteral("hidden"));
    ENGINE_TRY_VERIFY(animationsIn(QStringLiteral("running")).isEmpty());
    QVERIFY(!animationsIn(QStringLiteral("paused")).isEmpty());

    // Seen again, it goes on with the cycles it has left.
    m_widget->browser.view()->show();
    ENGINE_TRY_COMPARE(evaluate(QStringLiteral("document.visibilityState")).toString(), QStringLiteral("visible"));
    ENGINE_TRY_VERIFY(!animationsIn(QStringLiteral("running")).isEmpty());
}

void OfflinePageTest::busySpinnerEndsWhenReloadKeepsThePage()
{
    showOfflinePage();
    // A host whose reload never navigates: the page stays, busy.
    evaluate(QStringLiteral("window.refresh = function () { window.refreshCalls = (window.refreshCalls || 0) + 1; }"));
    QVERIFY(EngineTest::clickElement(m_widget->browser.view(), QStringLiteral("#retry")));
    ENGINE_TRY_COMPARE(evaluate(QStringLiteral("window.refreshCalls")).toInt(), 1);
    QVERIFY(evaluate(QStringLiteral("document.getElementById('retry').disabled")).toBool());
    ENGINE_TRY_VERIFY(!animations().filter(QRegularExpression(QStringLiteral("^spin:running:"))).isEmpty());
    const QStringList busy = animations();
    QVERIFY2(busy.filter(QStringLiteral(":Infinity")).isEmpty(), qPrintable(busy.join(QLatin1Char(' '))));

    // Within a few seconds the button is back and nothing spins any more.
    QVERIFY(EngineTest::waitFor(
        [&]() { return !evaluate(QStringLiteral("document.getElementById('retry').disabled")).toBool(); }, 8000));
    QCOMPARE(evaluate(QStringLiteral("document.getElementById('retry-label').textContent")).toString(),
             QStringLiteral("Try again"));
    ENGINE_TRY_VERIFY(animations().filter(QRegularExpression(QStringLiteral("^spin:(running|paused):"))).isEmpty());
}

TRADORY_ENGINE_TEST_MAIN(OfflinePageTest)
#include "tst_offlinepage.moc"
