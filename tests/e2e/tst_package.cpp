// The Debian package as a user gets it: built by CPack from the install
// rules, unpacked into a fresh folder, and the unpacked program driven end to
// end through the unpacked launcher tool. Nothing here runs from the build
// tree, so a file the install rules forget shows up as a failure.
#include "programdriver.h"
#include "testenvironment.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <unistd.h>

class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void packageHoldsTheProgramWithItsFilesAndNothingElse();
    void desktopEntryNamesTheInstalledProgram();
    void unpackedCommandsAnswerHelpAndVersionWithoutSideEffects();
    void unpackedProgramShowsTheDemoShopReportsAndQuits();
    void germanConfigurationGivesGermanTexts();
    void packageInstallsWithApt();

private:
    QString unpacked(const QString &path) const { return m_root.path() + QStringLiteral("/usr/") + path; }
    QString program() const { return unpacked(QStringLiteral("lib/tradory/tradory")); }
    QString tool() const { return unpacked(QStringLiteral("bin/vellora-launcher")); }
    static QString runChecked(const QString &command, const QStringList &arguments, int *exitCode = nullptr);
    // Opens the shipped demo shop through the unpacked launcher tool, waits
    // until the page has loaded and returns the window's id.
    QString openDemoShop(ProgramDriver &driver, const QString &game);
    static QImage grab(const QRect &rect);
    // Hovers the close button and measures the tooltip that appears.
    static int closeTooltipWidth(const QString &window);

    QTemporaryDir m_work;
    QTemporaryDir m_root;
    QString m_deb;
};

QString PackageTest::runChecked(const QString &command, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command, arguments);
    if (!process.waitForFinished(180000))
        process.kill();
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

void PackageTest::initTestCase()
{
    QVERIFY(m_work.isValid() && m_root.isValid());
    const QString build = TestEnvironment::buildDir();
    int status = -1;
    const QString output = runChecked(QStringLiteral("cpack"),
                                      {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                       build + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), m_work.path()},
                                      &status);
    QVERIFY2(status == 0, qPrintable(output));
    const QStringList debs = QDir(m_work.path()).entryList({QStringLiteral("tradory_*.deb")});
    QCOMPARE(debs.size(), 1);
    m_deb = m_work.filePath(debs.first());
    const QString unpackOutput = runChecked(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root.path()}, &status);
    QVERIFY2(status == 0, qPrintable(unpackOutput));
}

void PackageTest::packageHoldsTheProgramWithItsFilesAndNothingElse()
{
    int status = -1;
    const QString listing = runChecked(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_deb}, &status);
    QCOMPARE(status, 0);
    for (const char *expected : {"./usr/lib/tradory/tradory", "./usr/lib/tradory/lib/libtradorywindows.so",
                                 "./usr/lib/tradory/app.ico",
                                 "./usr/lib/tradory/www/demo/index.html", "./usr/lib/tradory/www/offline_cef.html",
                                 "./usr/lib/tradory/image/cef_browser_loading.gif",
                                 "./usr/lib/tradory/image/CloudGame/TitlebarClose.svg",
                                 "./usr/lib/tradory/translations/tradory_de.qm", "./usr/lib/tradory/translations/tradory_fr.qm",
                                 "./usr/bin/vellora-launcher", "./usr/share/applications/tradory.desktop",
                                 "./usr/share/icons/hicolor/48x48/apps/tradory.png",
                                 "./usr/share/icons/hicolor/scalable/apps/tradory.svg",
                                 "./usr/share/man/man1/tradory.1.gz", "./usr/share/man/man1/vellora-launcher.1.gz",
                                 "./usr/share/doc/tradory/copyright", "./usr/share/doc/tradory/changelog.gz"}) {
        QVERIFY2(listing.contains(QLatin1String(expected) + QLatin1Char('\n')), expected);
    }
    for (const char *foreign : {"tst_", "bench", "baseline", "CMakeFiles", "/work/", ".ts\n"})
        QVERIFY2(!listing.contains(QLatin1String(foreign)), foreign);

    // Dependencies come from the binaries, plus what is loaded but not linked.
    const QString depends = runChecked(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Depends")});
    QVERIFY2(depends.contains(QLatin1String("libqt5webenginewidgets5")), qPrintable(depends));
    QVERIFY2(depends.contains(QLatin1String("fonts-dejavu-core")), qPrintable(depends));
    QCOMPARE(runChecked(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QStringLiteral("Version")}).trimmed(),
             QStringLiteral(TRADORY_VERSION));
    // No maintainer scripts: the control part holds the control file and sums.
    QTemporaryDir control;
    runChecked(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), m_deb, control.path()}, &status);
    QCOMPARE(status, 0);
    QCOMPARE(QDir(control.path()).entryList(QDir::Files, QDir::Name), (QStringList{"control", "md5sums"}));
}

void PackageTest::desktopEntryNamesTheInstalledProgram()
{
    QSettings entry(unpacked(QStringLiteral("share/applications/tradory.desktop")), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("/usr/lib/tradory/tradory"));
    QCOMPARE(entry.value(QStringLiteral("NoDisplay")).toString(), QStringLiteral("true"));
    QCOMPARE(entry.value(QStringLiteral("StartupWMClass")).toString(), QStringLiteral("tradory"));
    QCOMPARE(entry.value(QStringLiteral("Icon")).toString(), QStringLiteral("tradory"));
    const QImage icon(unpacked(QStringLiteral("share/icons/hicolor/256x256/apps/tradory.png")));
    QCOMPARE(icon.size(), QSize(256, 256));
    int status = -1;
    const QString validation = runChecked(QStringLiteral("desktop-file-validate"),
                                          {unpacked(QStringLiteral("share/applications/tradory.desktop"))}, &status);
    QVERIFY2(status == 0 && validation.isEmpty(), qPrintable(validation));
}

void PackageTest::unpackedCommandsAnswerHelpAndVersionWithoutSideEffects()
{
    TestEnvironment environment;
    int status = -1;
    QCOMPARE(runChecked(program(), {QStringLiteral("--version")}, &status).trimmed(),
             QStringLiteral("tradory " TRADORY_VERSION));
    QCOMPARE(status, 0);
    QCOMPARE(runChecked(tool(), {QStringLiteral("--version")}, &status).trimmed(),
             QStringLiteral("vellora-launcher " TRADORY_VERSION));
    QCOMPARE(status, 0);
    const QString help = runChecked(program(), {QStringLiteral("--help")}, &status);
    QCOMPARE(status, 0);
    QVERIFY(help.startsWith(QLatin1String("Usage: tradory")));
    // The environment's folders stay empty: no request folder or log under
    // the data root, no lock or socket in the runtime folder.
    const auto entries = [](const QString &folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    };
    QCOMPARE(entries(environment.dataRoot()), QStringList());
    QCOMPARE(entries(environment.runtimeDir()), QStringList());
}

QString PackageTest::openDemoShop(ProgramDriver &driver, const QString &game)
{
    driver.useInstalledTree(tool(), program());
    const QString url = QUrl::fromLocalFile(unpacked(QStringLiteral("lib/tradory/www/demo/index.html"))).toString();
    if (driver.open(QStringLiteral("-tradory="), QStringLiteral("shop.demo"), url, game).isEmpty())
        return QString();
    if (!driver.waitForLog(QStringLiteral("load end")))
        return QString();
    QStringList found;
    QTest::qWaitFor([&]() { return !(found = ProgramDriver::windows(game)).isEmpty(); }, 10000);
    // The first frames after the load end are the page's own.
    QTest::qWait(1500);
    return found.value(0);
}

QImage PackageTest::grab(const QRect &rect)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage();
}

int PackageTest::closeTooltipWidth(const QString &window)
{
    const QRect frame = ProgramDriver::geometry(window);
    // The last of the title bar's 40-pixel buttons, in the 50-pixel title strip.
    const QPoint close = frame.topLeft() + QPoint(frame.width() - 31, 25);
    ProgramDriver::run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(close.x() - 60),
                                                   QString::number(close.y())});
    QTest::qWait(300);
    ProgramDriver::run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(close.x()),
                                                   QString::number(close.y())});
    int width = 0;
    QTest::qWaitFor([&]() {
        const QString ids = ProgramDriver::run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                                            QStringLiteral("--class"), QStringLiteral("tradory")});
        for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRect rect = ProgramDriver::geometry(id);
            if (id != window && rect.height() > 0 && rect.height() < 60)
                width = rect.width();
        }
        return width > 0;
    }, 5000);
    return width;
}

void PackageTest::unpackedProgramShowsTheDemoShopReportsAndQuits()
{
    TestEnvironment environment;
    environment.writeConfig(QStringLiteral("[AppConfig]\n35=pkg-launcher\n37=pkg-store\n38=pkg-instance\n[Language]\ncurrent=en\n"));
    ProgramDriver driver(environment, QStringLiteral("pkg-instance"));
    driver.useInstalledTree(tool(), program());
    QVERIFY(driver.startListening());
    const QString window = openDemoShop(driver, QStringLiteral("Vellora Store"));
    QVERIFY2(!window.isEmpty(), qPrintable(driver.logText()));
    QVERIFY(driver.waitForMessages(1));
    QCOMPARE(driver.messages().first(), QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"shop.demo"})"));

    const QRect frame = ProgramDriver::geometry(window);
    const QImage shot = grab(frame);
    const QString shotPath = TestEnvironment::buildDir() + QStringLiteral("/shots/unpacked-package.png");
    QDir().mkpath(QFileInfo(shotPath).path());
    shot.save(shotPath);
    // The body shows the demo shop's dark page, not the white loading overlay.
    int dark = 0, white = 0, body = 0;
    for (int y = 60; y < shot.height() - 4; y += 3) {
        for (int x = 4; x < shot.width() - 4; x += 3) {
            const QRgb pixel = shot.pixel(x, y) & 0xFFFFFF;
            ++body;
            dark += qGray(pixel) < 70;
            white += pixel == 0xFFFFFF;
        }
    }
    QVERIFY2(dark > body / 2, qPrintable(QStringLiteral("%1 of %2 dark, see %3").arg(dark).arg(body).arg(shotPath)));
    QVERIFY2(white < body / 50, qPrintable(QStringLiteral("%1 of %2 white, see %3").arg(white).arg(body).arg(shotPath)));
    // The title bar's buttons are drawn from the shipped images: light strokes
    // on the dark strip where the close button is.
    int light = 0;
    for (int y = 10; y < 40; ++y) {
        for (int x = shot.width() - 51; x < shot.width() - 11; ++x)
            light += qGray(shot.pixel(x, y)) > 160;
    }
    QVERIFY2(light > 10, qPrintable(QStringLiteral("close button has %1 light pixels, see %2").arg(light).arg(shotPath)));

    driver.fireEvent(0);
    QTRY_COMPARE_WITH_TIMEOUT(driver.programProcesses(), 0, 15000);
    QVERIFY(!driver.primaryRuns());
}

void PackageTest::germanConfigurationGivesGermanTexts()
{
    // The shipped catalogue has the German text; then the unpacked program,
    // set to German, shows a tooltip of that text's size, not the English one's.
    QTranslator shipped;
    QVERIFY(shipped.load(QStringLiteral("tradory_de"), unpacked(QStringLiteral("lib/tradory/translations"))));
    const QString german = shipped.translate("CloudGame", "Close");
    QVERIFY(!german.isEmpty() && german != QLatin1String("Close"));

    QMap<QString, int> widths;
    for (const QString &language : {QStringLiteral("en"), QStringLiteral("de")}) {
        TestEnvironment environment;
        environment.writeConfig(QStringLiteral("[AppConfig]\n35=pkg-launcher-%1\n37=pkg-store-%1\n38=pkg-instance-%1\n"
                                               "[Language]\ncurrent=%1\n").arg(language));
        ProgramDriver driver(environment, QStringLiteral("pkg-instance-") + language);
        const QString window = openDemoShop(driver, QStringLiteral("Store ") + language);
        QVERIFY2(!window.isEmpty(), qPrintable(driver.logText()));
        widths[language] = closeTooltipWidth(window);
        QVERIFY2(widths[language] > 0, qPrintable(language));
        QVERIFY(driver.endProgram());
    }
    const QFontMetrics metrics(QGuiApplication::font());
    const int growth = metrics.horizontalAdvance(german) - metrics.horizontalAdvance(QStringLiteral("Close"));
    QVERIFY2(widths.value(QStringLiteral("de")) > widths.value(QStringLiteral("en")) + growth / 2,
             qPrintable(QStringLiteral("tooltip widths: en %1, de %2 (\"%3\")")
                            .arg(widths.value(QStringLiteral("en"))).arg(widths.value(QStringLiteral("de"))).arg(german)));
}

void PackageTest::packageInstallsWithApt()
{
    // Installing changes the machine: only where that is allowed (CI sets
    // this), never on a developer's machine by accident.
    if (qEnvironmentVariable("TRADORY_TEST_SYSTEM_INSTALL") != QLatin1String("1"))
        QSKIP("installs system-wide only with TRADORY_TEST_SYSTEM_INSTALL=1");
    if (::geteuid() != 0)
        QSKIP("installing needs root");
    int status = -1;
    const QString installed = runChecked(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("tradory")}, &status);
    if (status == 0)
        QSKIP(qPrintable(QStringLiteral("a tradory package is installed already (%1): left alone").arg(installed.trimmed())));

    QProcess apt;
    QProcessEnvironment aptEnvironment = QProcessEnvironment::systemEnvironment();
    aptEnvironment.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    apt.setProcessEnvironment(aptEnvironment);
    apt.setProcessChannelMode(QProcess::MergedChannels);
    apt.start(QStringLiteral("apt-get"), {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("--no-install-recommends"), m_deb});
    QVERIFY(apt.waitForFinished(300000));
    QVERIFY2(apt.exitCode() == 0, apt.readAll().constData());
    auto removePackage = qScopeGuard([]() {
        runChecked(QStringLiteral("dpkg"), {QStringLiteral("--purge"), QStringLiteral("tradory")});
    });

    QCOMPARE(runChecked(QStringLiteral("/usr/bin/vellora-launcher"), {QStringLiteral("--version")}, &status).trimmed(),
             QStringLiteral("vellora-launcher " TRADORY_VERSION));
    QCOMPARE(status, 0);
    QCOMPARE(runChecked(QStringLiteral("man"), {QStringLiteral("-w"), QStringLiteral("tradory")}).trimmed(),
             QStringLiteral("/usr/share/man/man1/tradory.1.gz"));

    TestEnvironment environment;
    environment.writeConfig(QStringLiteral("[AppConfig]\n35=apt-launcher\n37=apt-store\n38=apt-instance\n[Language]\ncurrent=en\n"));
    ProgramDriver driver(environment, QStringLiteral("apt-instance"));
    driver.useInstalledTree(QStringLiteral("/usr/bin/vellora-launcher"), QStringLiteral("/usr/lib/tradory/tradory"));
    QVERIFY(driver.startListening());
    const QString url = QUrl::fromLocalFile(QStringLiteral("/usr/lib/tradory/www/demo/index.html")).toString();
    QVERIFY(!driver.open(QStringLiteral("-tradory="), QStringLiteral("apt.demo"), url, QStringLiteral("Installed")).isEmpty());
    QVERIFY2(driver.waitForLog(QStringLiteral("load end")), qPrintable(driver.logText()));
    QVERIFY(driver.waitForMessages(1));
    QCOMPARE(driver.messages().first(), QStringLiteral(R"(-tradory={"event":"open","oem":"acme","package_name":"apt.demo"})"));
    driver.fireEvent(0);
    QTRY_COMPARE_WITH_TIMEOUT(driver.programProcesses(), 0, 15000);
}

QTEST_MAIN(PackageTest)
#include "tst_package.moc"
