// The launcher core library: configuration, language, launcher events, log
// and images. VLauncher, Language, FileWatcher and Log live once per process,
// so the slots run in the order the program meets them.
#include "filewatcher.h"
#include "imagemanager.h"
#include "language.h"
#include "log.h"
#include "testenvironment.h"
#include "vlauncher.h"

#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <cstdio>

namespace {

const char *const loadingText = "Loading WebShop. Please wait...";
const QString svgText = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"10\">"
                                       "<rect width=\"20\" height=\"10\" fill=\"#ff0000\"/></svg>");

bool writeFile(const QString &path, const QByteArray &data, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<int> eventsOf(const QSignalSpy &spy)
{
    QList<int> events;
    for (const QList<QVariant> &arguments : spy)
        events << arguments.at(0).toInt();
    return events;
}

class LanguageChangeCounter : public QWidget
{
public:
    int changes = 0;

protected:
    void changeEvent(QEvent *event) override
    {
        changes += event->type() == QEvent::LanguageChange;
        QWidget::changeEvent(event);
    }
};

} // namespace

class LauncherLibTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<FileWatcher::FileEvent>();
        // The program looks for its translations beside its executable.
        const QString built = TestEnvironment::buildDir() + QStringLiteral("/translations/");
        QVERIFY(QDir().mkpath(Language::translationsDir()));
        for (const QString &name : {QStringLiteral("tradory_de.qm"), QStringLiteral("tradory_fr.qm")}) {
            QFile::remove(Language::translationsDir() + QLatin1Char('/') + name);
            QVERIFY2(QFile::copy(built + name, Language::translationsDir() + QLatin1Char('/') + name),
                     qPrintable(built + name));
        }
    }

    void configValues_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("key");
        QTest::addColumn<QVariant>("expected");
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char((i * 131 + 7) & 0xff));
        const QString demo = QUrl::fromLocalFile(QCoreApplication::applicationDirPath()
                                                 + QStringLiteral("/www/demo/index.html")).toString();
        const QList<QPair<int, QVariant>> defaults = {
            {6, 0}, {7, demo}, {35, QStringLiteral("VelloraXLauncher")}, {37, QStringLiteral("TradoryServer")},
            {38, QStringLiteral("TradoryInstance")}, {41, QStringLiteral("VelloraX")}};
        // A null text means no file at all.
        for (const auto &entry : defaults) {
            const QByteArray key = QByteArray::number(entry.first);
            QTest::newRow("no file, " + key) << QByteArray() << entry.first << entry.second;
            QTest::newRow("binary, " + key) << binary << entry.first << entry.second;
        }
        const QByteArray full = "[AppConfig]\n6=8263\n7=https://shop.example/start\n35=OtherLauncher\n"
                                "37=OtherServer\n38=OtherLock\n41=OtherProduct\n";
        QTest::newRow("launcher server") << full << 35 << QVariant(QStringLiteral("OtherLauncher"));
        QTest::newRow("product folder") << full << 41 << QVariant(QStringLiteral("OtherProduct"));
        QTest::newRow("page") << full << 7 << QVariant(QStringLiteral("https://shop.example/start"));
        QTest::newRow("dev tools as text") << full << 6 << QVariant(8263);
        QTest::newRow("dev tools quoted") << QByteArray("[AppConfig]\n6=\"8263\"\n") << 6 << QVariant(8263);
        QTest::newRow("not a number") << QByteArray("[AppConfig]\n6=on\n") << 6 << QVariant(0);
        QTest::newRow("page with commas") << QByteArray("[AppConfig]\n7=https://shop.example/?ids=1,2,3\n") << 7
                                          << QVariant(QStringLiteral("https://shop.example/?ids=1,2,3"));
        QTest::newRow("empty value") << QByteArray("[AppConfig]\n35=\n") << 35 << QVariant(QStringLiteral("VelloraXLauncher"));
        QTest::newRow("empty number") << QByteArray("[AppConfig]\n6=\n") << 6 << QVariant(0);
        QTest::newRow("comment after value") << QByteArray("[AppConfig]\n35=Other ; the launcher\n; 35=Not\n") << 35
                                             << QVariant(QStringLiteral("Other"));
        QTest::newRow("quoted semicolon") << QByteArray("[AppConfig]\n7=\"https://x/?a=1;b=2\"\n") << 7
                                          << QVariant(QStringLiteral("https://x/?a=1;b=2"));
        QTest::newRow("line of another kind") << QByteArray("[AppConfig]\n35=Good\nnot a setting\n") << 35
                                              << QVariant(QStringLiteral("VelloraXLauncher"));
        QTest::newRow("unclosed quote") << QByteArray("[AppConfig]\n35=\"Open\n") << 35
                                        << QVariant(QStringLiteral("VelloraXLauncher"));
        QTest::newRow("broken section header") << QByteArray("[AppConfig\n35=Broken\n") << 35
                                               << QVariant(QStringLiteral("VelloraXLauncher"));
    }

    void configValues()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, key);
        QFETCH(QVariant, expected);
        if (ini.isNull())
            QFile::remove(m_env.configPath());
        else
            QVERIFY(writeConfig(ini));
        VLauncher::instance()->reload();
        const QVariant value = VLauncher::instance()->getAppConfigValue(AppConfig(key));
        if (expected.userType() == QMetaType::Int)
            QCOMPARE(value.toInt(), expected.toInt());
        else
            QCOMPARE(value.toString(), expected.toString());
    }

    void configNamesThatArePathsAreRefused_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const QString launcher = QStringLiteral("VelloraXLauncher");
        const QString server = QStringLiteral("TradoryServer");
        const QString lock = QStringLiteral("TradoryInstance");
        const QString product = QStringLiteral("VelloraX");
        QTest::newRow("35 absolute") << 35 << QStringLiteral("/tmp/launcher") << launcher;
        QTest::newRow("37 absolute") << 37 << QStringLiteral("/home/someone/.bashrc") << server;
        QTest::newRow("37 backslash") << 37 << QStringLiteral("..\\server") << server;
        QTest::newRow("38 upwards") << 38 << QStringLiteral("../lock") << lock;
        QTest::newRow("41 parent") << 41 << QStringLiteral("..") << product;
        QTest::newRow("41 two up") << 41 << QStringLiteral("../..") << product;
        QTest::newRow("41 itself") << 41 << QStringLiteral(".") << product;
        QTest::newRow("41 nested") << 41 << QStringLiteral("Vellora/X") << product;
        // Names are kept, odd ones too: the socket and lock paths make them safe.
        QTest::newRow("41 dots inside") << 41 << QStringLiteral("Vellora..X") << QStringLiteral("Vellora..X");
        QTest::newRow("37 spaced") << 37 << QStringLiteral("Tradory Server 2") << QStringLiteral("Tradory Server 2");
        QTest::newRow("35 leading dot") << 35 << QStringLiteral(".launcher") << QStringLiteral(".launcher");
    }

    void configNamesThatArePathsAreRefused()
    {
        QFETCH(int, key);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QVERIFY(writeConfig(QStringLiteral("[AppConfig]\n%1=%2\n").arg(key).arg(value).toUtf8()));
        if (expected != value)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[Tradory\\] configuration key %1 is refused").arg(key)));
        VLauncher::instance()->reload();
        QCOMPARE(VLauncher::instance()->getAppConfigValue(AppConfig(key)).toString(), expected);
        if (key == int(AppConfig::ProductFolder))
            QCOMPARE(VLauncher::instance()->productDir(), m_env.dataRoot() + QLatin1Char('/') + expected);
        QVERIFY(writeConfig(QByteArray()));
        VLauncher::instance()->reload();
    }

    void languageFromConfig_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("shortCode");
        QTest::addColumn<QString>("locale");
        QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("de") << QStringLiteral("de-DE");
        QTest::newRow("fr") << QStringLiteral("fr") << QStringLiteral("fr") << QStringLiteral("fr-FR");
        QTest::newRow("de_DE") << QStringLiteral("de_DE") << QStringLiteral("de") << QStringLiteral("de-DE");
        QTest::newRow("unknown") << QStringLiteral("xx") << QStringLiteral("en") << QStringLiteral("en-US");
        QTest::newRow("missing") << QString() << QStringLiteral("en") << QStringLiteral("en-US");
    }

    void languageFromConfig()
    {
        QFETCH(QString, code);
        QFETCH(QString, shortCode);
        QFETCH(QString, locale);
        setLanguage(code);
        QCOMPARE(Language::instance()->getCurrentLD().at(2), shortCode);
        QCOMPARE(Language::instance()->getCurrentLD().at(3), locale);
    }

    void languageSwitchesTranslation()
    {
        const QStringList codes = {QStringLiteral("de"), QStringLiteral("fr"), QStringLiteral("de"), QStringLiteral("en")};
        const QStringList texts = {QStringLiteral("WebShop wird geladen. Bitte warten..."),
                                   QStringLiteral("Chargement de la boutique. Veuillez patienter..."),
                                   QStringLiteral("WebShop wird geladen. Bitte warten..."), QString::fromLatin1(loadingText)};
        for (int i = 0; i < codes.size(); ++i) {
            setLanguage(codes.at(i));
            QCOMPARE(QCoreApplication::translate("CefWidget", loadingText), texts.at(i));
        }
    }

    void languageChangeReachesWidgets_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("English stays") << QStringLiteral("en") << QStringLiteral("en");
        QTest::newRow("German stays") << QStringLiteral("de") << QStringLiteral("de");
        QTest::newRow("German to English") << QStringLiteral("de") << QStringLiteral("en");
    }

    void languageChangeReachesWidgets()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        setLanguage(from);
        LanguageChangeCounter window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        window.changes = 0;
        setLanguage(to);
        QTRY_VERIFY(window.changes > 0);
    }

    void eventsArriveInOrderWithoutReplay()
    {
        QVERIFY(writeConfig(QByteArray()));
        VLauncher::instance()->reload();
        QCOMPARE(FileWatcher::eventsFilePath(), m_env.dataRoot() + QStringLiteral("/VelloraX/file_events"));
        QVERIFY(FileWatcher::fireEvent(FileWatcher::CloseLogin));
        QVERIFY(FileWatcher::fireEvent(FileWatcher::CloseLogin));
        QSignalSpy spy(FileWatcher::instance(), &FileWatcher::fileEvent);
        QVERIFY(FileWatcher::fireEvent(FileWatcher::LanguageChanged));
        QVERIFY(FileWatcher::fireEvent(FileWatcher::CloseLogin));
        QVERIFY(FileWatcher::fireEvent(FileWatcher::QuitApplication));
        QTRY_COMPARE(spy.count(), 3);
        QCOMPARE(eventsOf(spy), (QList<int>{1, 2, 0}));
    }

    void partialLineWaitsForItsEnd()
    {
        QSignalSpy spy(FileWatcher::instance(), &FileWatcher::fileEvent);
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), "1", QIODevice::Append));
        QTest::qWait(300);
        QCOMPARE(spy.count(), 0);
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), "\n2", QIODevice::Append));
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), "\n", QIODevice::Append));
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(eventsOf(spy), (QList<int>{1, 2}));
    }

    void eventsFileHoldsOnlyEvents()
    {
        QSignalSpy spy(FileWatcher::instance(), &FileWatcher::fileEvent);
        // The tail of an overlong line is no line of its own.
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), QByteArray(100, '7'), QIODevice::Append));
        QTest::qWait(400);
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), "0\n", QIODevice::Append));
        QTest::qWait(400);
        // Numbers that name no event, and one too large for a number.
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), "7\n-1\n99999999999999999999\n 2 \n", QIODevice::Append));
        QTRY_COMPARE(spy.count(), 1);
        QTest::qWait(200);
        QCOMPARE(eventsOf(spy), QList<int>{2});
    }

    void burstOfEventsReachesWindowsOnce()
    {
        QSignalSpy spy(FileWatcher::instance(), &FileWatcher::fileEvent);
        QByteArray burst;
        for (int i = 0; i < 10000; ++i)
            burst += i % 2 ? "1\n" : "2\n";
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), burst, QIODevice::Append));
        QTRY_VERIFY(spy.count() >= 2);
        QTest::qWait(300);
        QCOMPARE(eventsOf(spy), (QList<int>{2, 1}));

        // Far more than any launcher writes is passed over as a whole.
        spy.clear();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[Tradory\\] the events file grew by")));
        QVERIFY(writeFile(FileWatcher::eventsFilePath(), QByteArray(1024 * 1024, '\n') + "0\n", QIODevice::Append));
        QTest::qWait(400);
        QVERIFY(FileWatcher::fireEvent(FileWatcher::CloseLogin));
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(eventsOf(spy), QList<int>{2});
    }

    void linkAtEventsPathIsNotFollowed()
    {
        QSignalSpy spy(FileWatcher::instance(), &FileWatcher::fileEvent);
        const QString path = FileWatcher::eventsFilePath();
        const QString elsewhere = m_env.root() + QStringLiteral("/other-events");
        QVERIFY(writeFile(elsewhere, "0\n"));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(elsewhere, path));
        QTest::qWait(400);
        QVERIFY(QFile::remove(path));
        QVERIFY(writeFile(path, "1\n"));
        QTRY_COMPARE(spy.count(), 1);
        QTest::qWait(200);
        QCOMPARE(eventsOf(spy), QList<int>{1});
    }

    void replacedEventsFileStillDelivers_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<int>("lines");
        QTest::newRow("renamed over, shorter") << true << 1;
        QTest::newRow("renamed over, longer") << true << 40;
        QTest::newRow("removed and rewritten, shorter") << false << 1;
        QTest::newRow("removed and rewritten, longer") << false << 40;
    }

    void replacedEventsFileStillDelivers()
    {
        QFETCH(bool, rename);
        QFETCH(int, lines);
        QSignalSpy spy(FileWatcher::instance(), &FileWatcher::fileEvent);
        const QString path = FileWatcher::eventsFilePath();
        // Old events first, so that the new file is shorter or longer than
        // what the watcher has read already.
        // One at a time: events read together count once.
        for (int i = 0; i < 8; ++i) {
            QVERIFY(FileWatcher::fireEvent(FileWatcher::CloseLogin));
            QTRY_COMPARE(spy.count(), i + 1);
        }
        spy.clear();

        QList<int> expected;
        QByteArray content;
        for (int i = 0; i < lines; ++i) {
            if (!expected.contains(i % 3))
                expected << i % 3;
            content += QByteArray::number(i % 3) + '\n';
        }
        if (rename) {
            QVERIFY(writeFile(path + QStringLiteral(".new"), content));
            QCOMPARE(std::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                                 QFile::encodeName(path).constData()), 0);
        } else {
            QVERIFY(QFile::remove(path));
            QVERIFY(writeFile(path, content));
        }
        QTRY_COMPARE(spy.count(), expected.size());
        QVERIFY(FileWatcher::fireEvent(FileWatcher::LanguageChanged));
        QTRY_COMPARE(spy.count(), expected.size() + 1);
        expected << FileWatcher::LanguageChanged;
        QCOMPARE(eventsOf(spy), expected);
    }

    void logKeepsQtMessagesAndRotates()
    {
        // A log almost full from an earlier run moves aside at the first line.
        const QString logFile = VLauncher::instance()->productDir() + QStringLiteral("/logs/tradory.log");
        QVERIFY(QDir().mkpath(QFileInfo(logFile).absolutePath()));
        const QByteArray earlier = QByteArray(Log::maxFileBytes - 20, 'e') + '\n';
        QVERIFY(writeFile(logFile, earlier));
        Log::instance()->startForCef();
        qInfo("first line of this run");
        qWarning("second line of this run");

        QCOMPARE(readFile(logFile + QStringLiteral(".1")), earlier);
        const QList<QByteArray> lines = readFile(logFile).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).endsWith(" I first line of this run"), lines.at(0).constData());
        QVERIFY2(lines.at(1).endsWith(" W second line of this run"), lines.at(1).constData());
    }

    void messageIsOneLineWhateverItHolds()
    {
        const QString logFile = Log::instance()->filePath();
        const int before = readFile(logFile).count('\n');
        qCritical("x\r\n2099-01-01T00:00:00.000 C [Tradory] FORGED\x1b[2J\x7f");
        qWarning().noquote() << QStringLiteral("next\u2028line \u202edesrever\u0085end\tand a tab");
        const QList<QByteArray> lines = readFile(logFile).split('\n').mid(before);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).endsWith(" C x\\r\\n2099-01-01T00:00:00.000 C [Tradory] FORGED\\x1b[2J\\x7f"),
                 lines.at(0).constData());
        QVERIFY2(lines.at(1).endsWith(" W next\\u2028line \\u202edesrever\\x85end\tand a tab"), lines.at(1).constData());
        QCOMPARE(lines.at(2), QByteArray());
    }

    void logStaysUnderItsCapForAnyMessage()
    {
        const QString logFile = Log::instance()->filePath();
        qInfo("[Tradory] marker before the big messages");
        // 100 messages of 100 KB leave room for what came before them.
        const QString big(100 * 1024, QLatin1Char('b'));
        for (int i = 0; i < 100; ++i)
            qInfo().noquote() << big;
        QVERIFY((readFile(logFile + QStringLiteral(".1")) + readFile(logFile)).contains("marker before the big messages"));
        // One message larger than both files together.
        qInfo().noquote() << QStringLiteral("huge:") + QString(6 * 1024 * 1024, QChar(0x4e2d));
        qInfo("[Tradory] marker after the huge message");
        const QByteArray last = readFile(logFile);
        QVERIFY2(QFileInfo(logFile).size() <= Log::maxFileBytes, qPrintable(QString::number(QFileInfo(logFile).size())));
        QVERIFY(QFileInfo(logFile + QStringLiteral(".1")).size() <= Log::maxFileBytes);
        QVERIFY(last.contains("marker after the huge message"));
        const int hugeLine = last.indexOf("huge:");
        QVERIFY(hugeLine >= 0);
        QVERIFY2(last.indexOf('\n', hugeLine) - hugeLine < 64 * 1024, "a line longer than a line may be");
    }

    void logCapHoldsWhenOldCopyCannotMove()
    {
        const QString logFile = Log::instance()->filePath();
        const QString oldCopy = logFile + QStringLiteral(".1");
        QFile::remove(oldCopy);
        QVERIFY(QDir().mkpath(oldCopy + QStringLiteral("/in-the-way")));
        const QString line(8000, QLatin1Char('l'));
        for (int i = 0; i < 600; ++i)
            qInfo().noquote() << line;
        const qint64 size = QFileInfo(logFile).size();
        QVERIFY(QDir(oldCopy).removeRecursively());
        QVERIFY2(size <= Log::maxFileBytes, qPrintable(QString::number(size)));
        QVERIFY(size > 0);
    }

    void lateLinesAfterMainAreSafe_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("static destructor") << QStringList();
        QTest::newRow("thread still logging") << QStringList{QStringLiteral("--thread")};
    }

    void lateLinesAfterMainAreSafe()
    {
        QFETCH(QStringList, arguments);
        const QString root = m_env.root() + QStringLiteral("/late-") + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LOCALAPPDATA"), root);
        QProcess helper;
        helper.setProcessEnvironment(environment);
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(QCoreApplication::applicationDirPath() + QStringLiteral("/latelogger"), arguments);
        QVERIFY2(helper.waitForFinished(20000), "the helper did not end");
        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(helper.exitCode(), 0);
        const QByteArray log = readFile(root + QStringLiteral("/VelloraX/logs/tradory.log"));
        QVERIFY2(log.contains("line from main"), log.constData());
        QVERIFY2(log.contains("late line from a static destructor"), log.right(300).constData());
    }

    void svgRenderedAtDevicePixelRatio()
    {
        const QString path = m_env.root() + QStringLiteral("/badge.svg");
        QVERIFY(writeFile(path, svgText.toUtf8()));
        const QPixmap pixmap = ImageManager::renderSvg(path, 2);
        QCOMPARE(pixmap.size(), QSize(40, 20));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
        // The drawing covers all device pixels, not only the logical size.
        QCOMPARE(QColor(pixmap.toImage().pixel(38, 18)), QColor(Qt::red));
    }

    void missingImageFoundOnceCreated()
    {
        const QString path = m_env.root() + QStringLiteral("/later.svg");
        QVERIFY(ImageManager::instance()->getPixmapByPath(path).isNull());
        QVERIFY(writeFile(path, svgText.toUtf8()));
        const QPixmap &found = ImageManager::instance()->getPixmapByPath(path);
        QVERIFY(!found.isNull());
        QCOMPARE(found.size() / found.devicePixelRatio(), QSize(20, 10));
    }

    void pixmapToRound_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QPoint>("outside");
        QTest::newRow("corner") << qreal(1) << QPoint(0, 0);
        QTest::newRow("far corner") << qreal(1) << QPoint(39, 39);
        // The radius is logical: ten logical pixels are twenty device pixels.
        QTest::newRow("dpr 2, inside the radius") << qreal(2) << QPoint(4, 4);
        QTest::newRow("dpr 2, far corner") << qreal(2) << QPoint(79, 79);
    }

    void pixmapToRound()
    {
        QFETCH(qreal, ratio);
        QFETCH(QPoint, outside);
        QPixmap square(QSize(40, 40) * ratio);
        square.setDevicePixelRatio(ratio);
        square.fill(Qt::red);
        const QPixmap rounded = VLauncher::instance()->pixmapToRound(square, 10);
        QCOMPARE(rounded.size(), square.size());
        QCOMPARE(rounded.devicePixelRatio(), ratio);
        const QImage image = rounded.toImage();
        QCOMPARE(qAlpha(image.pixel(outside)), 0);
        QCOMPARE(QColor(image.pixel(image.rect().center())), QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(int(20 * ratio), 1)), QColor(Qt::red));
        QVERIFY(VLauncher::instance()->pixmapToRound(QPixmap(), 10).isNull());
    }

private:
    void setLanguage(const QString &code)
    {
        QVERIFY(writeConfig(QStringLiteral("[Language]\ncurrent=%1\n").arg(code).toUtf8()));
        Language::instance()->updateLanguageFromCache();
    }

    // Rewrites follow each other within the same clock tick and often keep
    // the size: the library must read the file again all the same.
    bool writeConfig(const QByteArray &ini)
    {
        QFile file(m_env.configPath());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(ini) == ini.size() && file.flush();
    }

    TestEnvironment m_env;
};

QTEST_MAIN(LauncherLibTest)
#include "tst_launcherlib.moc"
