// The store window's own rules, in-process: titles and icons by request type,
// fullscreen following the page, keys (also real ones on a real page), the
// maximise button, long titles and a live language switch.
#include "browserview.h"
#include "cefwidget.h"
#include "cloudgame.h"
#include "enginetesthelpers.h"
#include "enginetestmain.h"
#include "language.h"
#include "startengine.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "toast.h"
#include "tooltipbubble.h"
#include "velpushbutton.h"

#include <QAccessible>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QWebEngineView>

class CloudGameTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void titleAndIconFollowTheRequestType_data();
    void titleAndIconFollowTheRequestType();
    void fullscreenLastsWhileThePageAsks();
    void escapeNeverClosesTheWindow();
    void maximiseButtonShowsRestoreWhileMaximised();
    void languageSwitchRetranslatesEveryTitleButton();
    void signInCloseEventClosesOnlySignInWindows();
    void browserKeysNavigate_data();
    void browserKeysNavigate();
    void longTitleIsElidedBeforeTheButtons();
    void tooltipWithoutCompositorHasNoBlackCorners();

private:
    CloudGame *makeWindow(const QString &type, const QString &game = QString(),
                          const QString &url = QStringLiteral("about:blank"));
    void switchLanguage(const QString &code);
    QStringList titleButtonTooltips() const;
    QString pageUrl() const;
    bool pressKeys(const QString &keys);
    bool giveFocus(bool toPage);
    VelPushButton *button(const char *name) const { return m_window->findChild<VelPushButton *>(QLatin1String(name)); }

    TestEnvironment *m_env = nullptr;
    TestHttpServer m_server;
    CloudGame *m_window = nullptr;
};

void CloudGameTest::initTestCase()
{
    m_env = new TestEnvironment;
    // Translations live beside the program; this test lives one folder down.
    QDir().mkpath(Language::translationsDir());
    for (const QString &file : QDir(TestEnvironment::buildDir() + QStringLiteral("/translations")).entryList({QStringLiteral("*.qm")}))
        QFile::copy(TestEnvironment::buildDir() + QStringLiteral("/translations/") + file,
                    Language::translationsDir() + QLatin1Char('/') + file);
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=cloudgame-launcher\n[Language]\ncurrent=en\n"));
    Language::instance()->init();
    startEngine();
    QVERIFY(m_server.start());
    m_server.route("/one", "<html><head><title>One</title></head><body style='height:2000px'>one</body></html>");
    m_server.route("/two", "<html><head><title>Two</title></head><body style='height:2000px'>two</body></html>");
}

void CloudGameTest::cleanupTestCase()
{
    shutdownEngine();
    delete m_env;
}

void CloudGameTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

CloudGame *CloudGameTest::makeWindow(const QString &type, const QString &game, const QString &url)
{
    LaunchRequest request;
    request.type = type;
    request.gameName = game;
    request.url = url;
    m_window = new CloudGame(request);
    m_window->show();
    return m_window;
}

void CloudGameTest::titleAndIconFollowTheRequestType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("icon");
    QTest::newRow("store, no name") << "-tradory=" << "" << "Vellora X" << "/image/default_img.svg";
    QTest::newRow("store") << "-tradory=" << "Starfall" << "Starfall" << "/image/default_img.svg";
    QTest::newRow("login") << "login" << "Starfall" << "Sign in Vellora X" << "/image/account/Default_img.svg";
    QTest::newRow("cloud login") << "fromCloudLogin" << "" << "Sign in Vellora X" << "/image/account/Default_img.svg";
    QTest::newRow("plain") << "other" << "Page" << "Page" << "/image/default_img.svg";
}

void CloudGameTest::titleAndIconFollowTheRequestType()
{
    QFETCH(QString, type);
    QFETCH(QString, game);
    QFETCH(QString, title);
    QFETCH(QString, icon);
    makeWindow(type, game);
    QCOMPARE(m_window->windowTitle(), title);
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("label_title"))->text(), title);
    QCOMPARE(m_window->iconPath(), QCoreApplication::applicationDirPath() + icon);
    QVERIFY(!m_window->findChild<QLabel *>(QStringLiteral("label_icon"))->pixmap()->isNull());
    QCOMPARE(m_window->url(), QStringLiteral("about:blank"));
    QVERIFY(m_window->minimumSize() == QSize(696, 446));
}

void CloudGameTest::fullscreenLastsWhileThePageAsks()
{
    makeWindow(QStringLiteral("-tradory="));
    QWidget *titleBar = m_window->findChild<QWidget *>(QStringLiteral("widget_title"));

    // F11 on its own: the window does not stay fullscreen.
    QTest::keyClick(m_window, Qt::Key_F11);
    ENGINE_TRY_VERIFY(!(m_window->windowState() & Qt::WindowFullScreen));

    m_window->gameFullscreenSwitch(true);
    QVERIFY(m_window->windowState() & Qt::WindowFullScreen);
    QVERIFY(titleBar->isHidden());
    Toast *hint = m_window->findChild<Toast *>();
    QVERIFY(hint);
    QCOMPARE(hint->text(), QStringLiteral("Press ESC to exit fullscreen."));

    // Escape leaves the fullscreen state; the title bar waits for the page.
    QTest::keyClick(m_window, Qt::Key_Escape);
    QVERIFY(!(m_window->windowState() & Qt::WindowFullScreen));
    QVERIFY(titleBar->isHidden());
    m_window->gameFullscreenSwitch(false);
    QVERIFY(!titleBar->isHidden());
    QVERIFY(!(m_window->windowState() & Qt::WindowFullScreen));
}

void CloudGameTest::escapeNeverClosesTheWindow()
{
    makeWindow(QStringLiteral("-tradory="));
    QSignalSpy ended(m_window, &CloudGame::deleteSelf);
    QTest::keyClick(m_window, Qt::Key_Escape);
    EngineTest::settle(100);
    QVERIFY(m_window->isVisible());
    QCOMPARE(ended.count(), 0);
}

void CloudGameTest::maximiseButtonShowsRestoreWhileMaximised()
{
    makeWindow(QStringLiteral("-tradory="));
    VelPushButton *maximise = button("pushButton_max");
    QCOMPARE(maximise->toolTip(), QStringLiteral("Maximize"));
    maximise->click();
    QVERIFY(m_window->windowState() & Qt::WindowMaximized);
    ENGINE_TRY_COMPARE(maximise->toolTip(), QStringLiteral("Restore"));
    QVERIFY(maximise->currentImage().endsWith(QLatin1String("/image/CloudGame/TitlebarRestore.svg")));
    maximise->click();
    ENGINE_TRY_COMPARE(maximise->toolTip(), QStringLiteral("Maximize"));
    QVERIFY(maximise->currentImage().endsWith(QLatin1String("/image/CloudGame/TitlebarMaximize.svg")));
}

void CloudGameTest::switchLanguage(const QString &code)
{
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=cloudgame-launcher\n[Language]\ncurrent=%1\n").arg(code));
    if (m_window)
        m_window->onFileEvent(FileWatcher::LanguageChanged);
    else
        Language::instance()->updateLanguageFromCache();
}

QStringList CloudGameTest::titleButtonTooltips() const
{
    QStringList tooltips;
    for (const char *name : {"pushButton_back", "pushButton_forward", "pushButton_reload", "pushButton_min",
                             "pushButton_max", "pushButton_close"}) {
        // What a screen reader hears is what the tooltip says.
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button(name));
        const QString spoken = accessible ? accessible->text(QAccessible::Name) : QString();
        tooltips << (spoken == button(name)->toolTip() ? spoken : QStringLiteral("<spoken: %1>").arg(spoken));
    }
    return tooltips;
}

void CloudGameTest::languageSwitchRetranslatesEveryTitleButton()
{
    switchLanguage(QStringLiteral("de"));
    makeWindow(QStringLiteral("-tradory="));
    const QStringList german{QStringLiteral("Zurück"),     QStringLiteral("Vorwärts"),   QStringLiteral("Neu laden"),
                             QStringLiteral("Minimieren"), QStringLiteral("Maximieren"), QStringLiteral("Schließen")};
    QCOMPARE(titleButtonTooltips(), german);

    switchLanguage(QStringLiteral("fr"));
    const QStringList french{QStringLiteral("Précédent"), QStringLiteral("Suivant"), QStringLiteral("Actualiser"),
                             QStringLiteral("Réduire"),   QStringLiteral("Agrandir"), QStringLiteral("Fermer")};
    ENGINE_TRY_COMPARE(titleButtonTooltips(), french);

    // Maximised, the maximise button says restore, in the new language too.
    button("pushButton_max")->click();
    ENGINE_TRY_COMPARE(button("pushButton_max")->toolTip(), QStringLiteral("Restaurer"));
    switchLanguage(QStringLiteral("en"));
    ENGINE_TRY_COMPARE(button("pushButton_max")->toolTip(), QStringLiteral("Restore"));
    QCOMPARE(titleButtonTooltips().mid(0, 3),
             (QStringList{QStringLiteral("Back"), QStringLiteral("Forward"), QStringLiteral("Reload")}));
}

void CloudGameTest::signInCloseEventClosesOnlySignInWindows()
{
    makeWindow(QStringLiteral("login"));
    QSignalSpy ended(m_window, &CloudGame::deleteSelf);
    m_window->onFileEvent(FileWatcher::CloseLogin);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.first().first().value<QObject *>(), m_window);
    QVERIFY(!m_window->isVisible());
    // A store window ignores the sign-in close event.
    CloudGame *sign = m_window;
    makeWindow(QStringLiteral("-tradory="));
    m_window->onFileEvent(FileWatcher::CloseLogin);
    QVERIFY(m_window->isVisible());
    delete sign;
}

QString CloudGameTest::pageUrl() const
{
    const Browser &browser = m_window->findChild<CefWidget *>(QStringLiteral("widget_browser"))->browser;
    return QUrl(browser.GetMainFrame().GetURL()).path();
}

bool CloudGameTest::pressKeys(const QString &keys)
{
    // Real key presses through the X server, to whatever has the input focus.
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}) == 0;
}

bool CloudGameTest::giveFocus(bool toPage)
{
    QWebEngineView *view = m_window->findChild<CefWidget *>(QStringLiteral("widget_browser"))->browser.view();
    if (!view || !view->focusProxy())
        return false;
    if (toPage) {
        EngineTest::click(view, QPoint(200, 200));
        return EngineTest::waitFor([view]() { return QApplication::focusWidget() == view->focusProxy(); }, 5000);
    }
    // No focus widget: the window itself receives the keys.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    return EngineTest::waitFor([]() { return QApplication::focusWidget() == nullptr; }, 5000)
        && QApplication::activeWindow() == m_window;
}

void CloudGameTest::browserKeysNavigate_data()
{
    QTest::addColumn<bool>("pageHasFocus");
    QTest::newRow("page has focus") << true;
    QTest::newRow("window has focus") << false;
}

void CloudGameTest::browserKeysNavigate()
{
    QFETCH(bool, pageHasFocus);
    const QString one = QStringLiteral("/one");
    const QString two = QStringLiteral("/two");
    makeWindow(QStringLiteral("page"), QStringLiteral("Keys"), m_server.url(QStringLiteral("/one")).toString());
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    auto *host = m_window->findChild<CefWidget *>(QStringLiteral("widget_browser"));
    ENGINE_TRY_VERIFY(host->pageLoaded() && pageUrl() == QLatin1String("/one"));
    const int firstLoads = m_server.requestCount("/two");
    host->browser.GetMainFrame().LoadURL(m_server.url(QStringLiteral("/two")).toString());
    ENGINE_TRY_VERIFY(pageUrl() == QLatin1String("/two") && host->browser.CanGoBack()
                      && m_server.requestCount("/two") == firstLoads + 1);
    // The page has seen its load end before it takes input.
    EngineTest::settle(300);

    QVERIFY(giveFocus(pageHasFocus));
    QVERIFY(pressKeys(QStringLiteral("alt+Left")));
    ENGINE_TRY_COMPARE(pageUrl(), one);
    ENGINE_TRY_VERIFY(host->browser.CanGoForward());
    EngineTest::settle(300);

    QVERIFY(giveFocus(pageHasFocus));
    QVERIFY(pressKeys(QStringLiteral("alt+Right")));
    ENGINE_TRY_COMPARE(pageUrl(), two);
    EngineTest::settle(300);

    const int before = m_server.requestCount("/two");
    QVERIFY(giveFocus(pageHasFocus));
    QVERIFY(pressKeys(QStringLiteral("F5")));
    ENGINE_TRY_COMPARE(m_server.requestCount("/two"), before + 1);
    EngineTest::settle(300);
    QVERIFY(giveFocus(pageHasFocus));
    QVERIFY(pressKeys(QStringLiteral("ctrl+r")));
    ENGINE_TRY_COMPARE(m_server.requestCount("/two"), before + 2);
    EngineTest::settle(300);

    // The keys that were there before keep working, and none closes the window.
    QVERIFY(giveFocus(pageHasFocus));
    QVERIFY(pressKeys(QStringLiteral("Escape")));
    EngineTest::settle(300);
    QVERIFY(m_window->isVisible());
    QCOMPARE(pageUrl(), two);
    QCOMPARE(m_server.requestCount("/two"), before + 2);

    // A held F5 reloads once, not once per repeat.
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(m_window, &repeated);
    EngineTest::settle(500);
    QCOMPARE(m_server.requestCount("/two"), before + 2);
}

void CloudGameTest::longTitleIsElidedBeforeTheButtons()
{
    const QString name = QStringLiteral("The Chronicles of the Unending Northern Expedition: Definitive Anniversary "
                                        "Edition with Every Expansion");
    makeWindow(QStringLiteral("-tradory="), name);
    m_window->resize(m_window->minimumSize());
    auto *label = m_window->findChild<QLabel *>(QStringLiteral("label_title"));
    VelPushButton *back = button("pushButton_back");
    ENGINE_TRY_COMPARE(m_window->width(), 696);
    EngineTest::settle(100);

    auto checkElided = [&]() {
        const QString shown = label->text();
        const QString figures = QStringLiteral("shown \"%1\", %2 pixels wide in a label %3 wide at x %4; back at x %5")
                                    .arg(shown)
                                    .arg(label->fontMetrics().horizontalAdvance(shown))
                                    .arg(label->contentsRect().width())
                                    .arg(label->x())
                                    .arg(back->x());
        QVERIFY2(label->geometry().right() < back->geometry().left(), qPrintable(figures));
        QVERIFY2(shown.endsWith(QChar(0x2026)) && shown.size() > 1, qPrintable(figures));
        QVERIFY2(name.startsWith(shown.chopped(1)), qPrintable(figures));
        QVERIFY2(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width(), qPrintable(figures));
    };
    checkElided();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_window->windowTitle(), name);
    QCOMPARE(label->toolTip(), name);

    // Wider, more of the title shows; wide enough, all of it.
    const QString narrow = label->text();
    m_window->resize(1000, 600);
    ENGINE_TRY_VERIFY(label->text().size() > narrow.size());
    checkElided();
    if (QTest::currentTestFailed())
        return;
    m_window->resize(1800, 600);
    ENGINE_TRY_COMPARE(label->text(), name);
    m_window->resize(m_window->minimumSize());
    ENGINE_TRY_COMPARE(label->text(), narrow);

    // A language switch lays the title bar out afresh; the title still fits.
    switchLanguage(QStringLiteral("de"));
    EngineTest::settle(100);
    checkElided();
    switchLanguage(QStringLiteral("en"));

    // A short name is left whole.
    delete m_window;
    makeWindow(QStringLiteral("-tradory="), QStringLiteral("Starfall"));
    m_window->resize(m_window->minimumSize());
    EngineTest::settle(100);
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("label_title"))->text(), QStringLiteral("Starfall"));
}

void CloudGameTest::tooltipWithoutCompositorHasNoBlackCorners()
{
    // This display has no compositing manager: a translucent bubble would
    // show black where its rounded corners leave the window out.
    makeWindow(QStringLiteral("-tradory="));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    EngineTest::settle(300);
    VelPushButton *close = button("pushButton_close");
    const QPoint centre = close->mapToGlobal(close->rect().center());
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(centre.x() - 50),
                                                  QString::number(centre.y())});
    EngineTest::settle(200);
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(centre.x()),
                                                  QString::number(centre.y())});
    const auto shownBubble = []() -> ToolTipBubble * {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<ToolTipBubble *>(widget); found && found->isVisible())
                return found;
        }
        return nullptr;
    };
    QTRY_VERIFY_WITH_TIMEOUT(shownBubble(), 5000);
    ToolTipBubble *bubble = shownBubble();
    EngineTest::settle(300);
    const QPoint corner = bubble->mapToGlobal(QPoint(0, 0));
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, corner.x(), corner.y(), 3, 3).toImage();
    const QColor pixel = shot.pixelColor(1, 1);
    QVERIFY2(pixel != QColor(Qt::black), qPrintable(pixel.name()));
    QCOMPARE(pixel.rgb() & 0xFFFFFF, ToolTipBubble::backgroundColor().rgb() & 0xFFFFFF);
    QVERIFY(!bubble->isRounded());
}

TRADORY_ENGINE_TEST_MAIN(CloudGameTest)
#include "tst_cloudgame.moc"
