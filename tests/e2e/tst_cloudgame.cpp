// The store window's own rules, in-process: titles and icons by request type,
// fullscreen following the page, keys, the maximise button and a live
// language switch.
#include "cloudgame.h"
#include "enginetesthelpers.h"
#include "enginetestmain.h"
#include "language.h"
#include "startengine.h"
#include "testenvironment.h"
#include "toast.h"
#include "velpushbutton.h"

#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>

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
    void languageSwitchRetranslatesWindowButtonsOnly();
    void signInCloseEventClosesOnlySignInWindows();

private:
    CloudGame *makeWindow(const QString &type, const QString &game = QString());
    VelPushButton *button(const char *name) const { return m_window->findChild<VelPushButton *>(QLatin1String(name)); }

    TestEnvironment *m_env = nullptr;
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

CloudGame *CloudGameTest::makeWindow(const QString &type, const QString &game)
{
    LaunchRequest request;
    request.type = type;
    request.gameName = game;
    request.url = QStringLiteral("about:blank");
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

void CloudGameTest::languageSwitchRetranslatesWindowButtonsOnly()
{
    makeWindow(QStringLiteral("-tradory="));
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=cloudgame-launcher\n[Language]\ncurrent=de\n"));
    m_window->onFileEvent(FileWatcher::LanguageChanged);
    ENGINE_TRY_COMPARE(button("pushButton_close")->toolTip(), QStringLiteral("Schließen"));
    QCOMPARE(button("pushButton_min")->toolTip(), QStringLiteral("Minimieren"));
    QCOMPARE(button("pushButton_max")->toolTip(), QStringLiteral("Maximieren"));
    // Back, forward and reload keep the text they were made with.
    QCOMPARE(button("pushButton_back")->toolTip(), QStringLiteral("Back"));

    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=cloudgame-launcher\n[Language]\ncurrent=fr\n"));
    m_window->onFileEvent(FileWatcher::LanguageChanged);
    ENGINE_TRY_COMPARE(button("pushButton_close")->toolTip(), QStringLiteral("Fermer"));
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=cloudgame-launcher\n[Language]\ncurrent=en\n"));
    m_window->onFileEvent(FileWatcher::LanguageChanged);
    ENGINE_TRY_COMPARE(button("pushButton_close")->toolTip(), QStringLiteral("Close"));
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

TRADORY_ENGINE_TEST_MAIN(CloudGameTest)
#include "tst_cloudgame.moc"
