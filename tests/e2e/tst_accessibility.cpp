// The built program as a screen reader meets it: on a session bus of the
// test's own, with the desktop's accessibility bus (at-spi-bus-launcher,
// activated the way a desktop activates it) and a screen reader switched on
// through org.a11y.Status. The store window's title-bar buttons are read and
// pressed over AT-SPI by pyatspi, in English, in German from the start, and
// after a live switch to French; a page's alert is found by its translated
// title. Nothing the test starts outlives it.
#include "programdriver.h"
#include "testenvironment.h"
#include "testhttpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <signal.h>

namespace {

// pyatspi and gi are Debian packages: Debian's interpreter, not the first
// python3 on the PATH.
const QString systemPython = QStringLiteral("/usr/bin/python3");
const QString busLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
const QString gameName = QStringLiteral("Screen Reader Store");

struct TitleNames
{
    QStringList normal;    // the buttons left to right while the window is not maximised
    QString restore;       // the maximise button's name while it is
};

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void titleButtonsAreReadAndPressedInEnglish();
    void titleButtonsAreReadInGermanAndFollowALiveSwitchToFrench();
    void pageDialogsAreTitledInTheUsersLanguage_data();
    void pageDialogsAreTitledInTheUsersLanguage();

private:
    QString helper(const QStringList &arguments, int *exitCode = nullptr) const;
    // Names of the push buttons of the program's store window, in the order a
    // screen reader walks them; empty until the window is on the bus.
    QStringList titleButtonNames() const;
    // Names of the program's top-level windows on the bus.
    QStringList windowNames() const;
    bool press(const QString &button) const;
    // Reads until the names are the expected ones or the time is up; each
    // read is a reader process of its own, so the time is counted, not the
    // tries. Returns the last names read.
    QStringList waitForTitleButtonNames(const QStringList &expected, int timeoutMs) const;
    void openStoreWindow(ProgramDriver &driver, const QString &url = QString());
    void checkMaximizeFollowsState(const TitleNames &names);
    // Processes this test started, however deep: they carry its configuration.
    QList<qint64> testProcesses() const;

    TestEnvironment *m_env = nullptr;
    QProcess m_bus;
    QProcess m_rootWatcher;
    TestHttpServer m_server;
    QString m_script;
};

void AccessibilityTest::initTestCase()
{
    m_script = QFINDTESTDATA("atspibuttons.py");
    QVERIFY(!m_script.isEmpty());
    if (!QFileInfo::exists(busLauncher) || QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("needs at-spi2-core and dbus-daemon (scripts/setup installs both)");
    {
        QProcess probe;
        probe.start(systemPython, {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
        if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
            QSKIP("needs python3-pyatspi for /usr/bin/python3 (scripts/setup installs it)");
    }
    m_env = new TestEnvironment;

    // A session bus of the test's own: no screen reader, registry or desktop
    // service of the machine's answers on it, and its services (the
    // accessibility bus among them) are started from the system's service
    // files on demand, as on a desktop.
    m_bus.setReadChannel(QProcess::StandardOutput);
    m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForStarted());
    QVERIFY(QTest::qWaitFor([this]() { return m_bus.canReadLine(); }, 10000));
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(address.startsWith("unix:"));
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    // An accessibility bus left on this display by somebody else must not be
    // taken for this session's.
    qunsetenv("AT_SPI_BUS_ADDRESS");

    int exitCode = -1;
    const QString a11yBus = helper({QStringLiteral("enable")}, &exitCode);
    QVERIFY2(exitCode == 0 && a11yBus.startsWith(QLatin1String("unix:")), qPrintable(a11yBus));
    // The bus address on the root window, as at-spi's launcher publishes it
    // on X11 desktops. Without it Qt 5.15 learns the address only by an
    // asynchronous call and may register the program before that call is
    // answered; it never tries again, and the program stays unseen (3 of 6
    // starts here). A client that stays connected keeps the X server from
    // resetting, and losing the property, between the program's starts.
    m_rootWatcher.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-spy"), QStringLiteral("AT_SPI_BUS")});
    QVERIFY(m_rootWatcher.waitForStarted());
    QVERIFY(m_rootWatcher.waitForReadyRead(10000));
    QCOMPARE(QProcess::execute(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("AT_SPI_BUS"),
                                                        QStringLiteral("8s"), QStringLiteral("-set"), QStringLiteral("AT_SPI_BUS"),
                                                        a11yBus}),
             0);

    QVERIFY(m_server.start());
    m_server.route("/alert", "<html><head><title>Alert</title></head><body>"
                             "<script>setTimeout(function () { alert('Your order is ready'); }, 0);</script>"
                             "</body></html>");
}

void AccessibilityTest::cleanup()
{
    ProgramDriver driver(*m_env, QStringLiteral("a11y-instance"));
    QVERIFY(driver.endProgram());
}

void AccessibilityTest::cleanupTestCase()
{
    if (!m_env)
        return;
    QProcess::execute(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-remove"), QStringLiteral("AT_SPI_BUS")});
    if (m_rootWatcher.state() != QProcess::NotRunning) {
        m_rootWatcher.kill();
        m_rootWatcher.waitForFinished(5000);
    }
    // The bus launcher leaves when its session bus goes, taking the
    // accessibility bus and, with it, the registry.
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.terminate();
        if (!m_bus.waitForFinished(5000))
            m_bus.kill();
    }
    const bool allGone = QTest::qWaitFor([this]() { return testProcesses().isEmpty(); }, 10000);
    QStringList left;
    for (qint64 pid : testProcesses()) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
        command.open(QIODevice::ReadOnly);
        left << QStringLiteral("%1 %2").arg(pid).arg(QString::fromUtf8(command.readAll().replace('\0', ' ')));
        ::kill(pid_t(pid), SIGKILL);
    }
    delete m_env;
    m_env = nullptr;
    QVERIFY2(allGone, qPrintable(left.join(QLatin1String("; "))));
}

QList<qint64> AccessibilityTest::testProcesses() const
{
    const QByteArray marker = "VELLORA_CONFIG=" + QFile::encodeName(m_env->configPath());
    QList<qint64> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const qint64 pid = entry.toLongLong();
        if (pid <= 0 || pid == QCoreApplication::applicationPid())
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(marker))
            found << pid;
    }
    return found;
}

QString AccessibilityTest::helper(const QStringList &arguments, int *exitCode) const
{
    QProcess process;
    process.start(systemPython, QStringList{m_script} + arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QByteArray errors = process.readAllStandardError();
    if (!errors.isEmpty())
        qWarning().noquote() << "atspibuttons.py:" << QString::fromUtf8(errors).trimmed();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QStringList AccessibilityTest::titleButtonNames() const
{
    const QJsonObject tree = QJsonDocument::fromJson(helper({QStringLiteral("read")}).toUtf8()).object();
    QStringList names;
    for (const QJsonValue &program : tree.value(QLatin1String("programs")).toArray()) {
        for (const QJsonValue &window : program.toObject().value(QLatin1String("windows")).toArray()) {
            if (window.toObject().value(QLatin1String("name")).toString() != gameName)
                continue;
            for (const QJsonValue &button : window.toObject().value(QLatin1String("buttons")).toArray())
                names << button.toObject().value(QLatin1String("name")).toString();
        }
    }
    return names;
}

QStringList AccessibilityTest::windowNames() const
{
    const QJsonObject tree = QJsonDocument::fromJson(helper({QStringLiteral("read")}).toUtf8()).object();
    QStringList names;
    for (const QJsonValue &program : tree.value(QLatin1String("programs")).toArray()) {
        for (const QJsonValue &window : program.toObject().value(QLatin1String("windows")).toArray())
            names << window.toObject().value(QLatin1String("name")).toString();
    }
    return names;
}

QStringList AccessibilityTest::waitForTitleButtonNames(const QStringList &expected, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    QStringList names = titleButtonNames();
    while (names != expected && clock.elapsed() < timeoutMs) {
        QTest::qWait(200);
        names = titleButtonNames();
    }
    return names;
}

bool AccessibilityTest::press(const QString &button) const
{
    int exitCode = -1;
    helper({QStringLiteral("press"), gameName, button}, &exitCode);
    return exitCode == 0;
}

void AccessibilityTest::openStoreWindow(ProgramDriver &driver, const QString &url)
{
    QVERIFY(driver.startListening());
    const QString demo = QUrl::fromLocalFile(TestEnvironment::buildDir() + QStringLiteral("/www/demo/index.html")).toString();
    QVERIFY(!driver.open(QStringLiteral("-tradory="), QStringLiteral("a11y.store"), url.isEmpty() ? demo : url, gameName)
                 .isEmpty());
    QVERIFY2(driver.waitForLog(QStringLiteral("load end")), qPrintable(driver.logText()));
}

void AccessibilityTest::checkMaximizeFollowsState(const TitleNames &names)
{
    const QString maximize = names.normal.value(4);
    QStringList maximized = names.normal;
    maximized[4] = names.restore;
    // Pressed over AT-SPI, as a screen reader user presses it.
    QVERIFY(press(maximize));
    QCOMPARE(waitForTitleButtonNames(maximized, 10000), maximized);
    QVERIFY(press(names.restore));
    QCOMPARE(waitForTitleButtonNames(names.normal, 10000), names.normal);
}

void AccessibilityTest::titleButtonsAreReadAndPressedInEnglish()
{
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=a11y-launcher\n37=a11y-store\n38=a11y-instance\n"
                                      "[Language]\ncurrent=en\n"));
    ProgramDriver driver(*m_env, QStringLiteral("a11y-instance"));
    openStoreWindow(driver);
    const TitleNames english{{QStringLiteral("Back"), QStringLiteral("Forward"), QStringLiteral("Reload"),
                              QStringLiteral("Minimize"), QStringLiteral("Maximize"), QStringLiteral("Close")},
                             QStringLiteral("Restore")};
    // The bridge comes up on its own once the program sees the screen
    // reader: nothing in the program's environment asks for it.
    QCOMPARE(waitForTitleButtonNames(english.normal, 20000), english.normal);
    checkMaximizeFollowsState(english);
}

void AccessibilityTest::titleButtonsAreReadInGermanAndFollowALiveSwitchToFrench()
{
    const QString config = QStringLiteral("[AppConfig]\n35=a11y-launcher\n37=a11y-store\n38=a11y-instance\n"
                                          "[Language]\ncurrent=%1\n");
    m_env->writeConfig(config.arg(QStringLiteral("de")));
    ProgramDriver driver(*m_env, QStringLiteral("a11y-instance"));
    openStoreWindow(driver);
    const TitleNames german{{QStringLiteral("Zurück"), QStringLiteral("Vorwärts"), QStringLiteral("Neu laden"),
                             QStringLiteral("Minimieren"), QStringLiteral("Maximieren"), QStringLiteral("Schließen")},
                            QStringLiteral("Wiederherstellen")};
    QCOMPARE(waitForTitleButtonNames(german.normal, 20000), german.normal);
    checkMaximizeFollowsState(german);

    // Each read is a fresh reader: it hears the names the program gives now,
    // not ones kept from before the switch.
    m_env->writeConfig(config.arg(QStringLiteral("fr")));
    driver.fireEvent(1);
    const TitleNames french{{QStringLiteral("Précédent"), QStringLiteral("Suivant"), QStringLiteral("Actualiser"),
                             QStringLiteral("Réduire"), QStringLiteral("Agrandir"), QStringLiteral("Fermer")},
                            QStringLiteral("Restaurer")};
    QCOMPARE(waitForTitleButtonNames(french.normal, 10000), french.normal);
    checkMaximizeFollowsState(french);
}

void AccessibilityTest::pageDialogsAreTitledInTheUsersLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::newRow("en") << QStringLiteral("en") << QStringLiteral("Message from 127.0.0.1");
    QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("Nachricht von 127.0.0.1");
    QTest::newRow("fr") << QStringLiteral("fr") << QStringLiteral("Message de 127.0.0.1");
}

void AccessibilityTest::pageDialogsAreTitledInTheUsersLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, title);
    m_env->writeConfig(QStringLiteral("[AppConfig]\n35=a11y-launcher\n37=a11y-store\n38=a11y-instance\n"
                                      "[Language]\ncurrent=%1\n").arg(language));
    ProgramDriver driver(*m_env, QStringLiteral("a11y-instance"));
    openStoreWindow(driver, m_server.url(QStringLiteral("/alert")).toString());
    // The alert is a window of its own, and its title is all that tells the
    // user where the text comes from.
    QElapsedTimer clock;
    clock.start();
    while (!windowNames().contains(title) && clock.elapsed() < 20000)
        QTest::qWait(200);
    QVERIFY2(windowNames().contains(title), qPrintable(windowNames().join(QLatin1String(", "))));
    QVERIFY2(windowNames().contains(gameName), qPrintable(windowNames().join(QLatin1String(", "))));
}

QTEST_GUILESS_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
