// The engine as the program starts it, in a real page under X: the settings
// pages see, the helper processes, and the window.refresh bridge in every
// kind of frame.
#include "browserpage.h"
#include "enginetestmain.h"
#include "language.h"
#include "scriptbridge.h"
#include "simpleapp.h"
#include "startengine.h"
#include "testenvironment.h"
#include "testhttpserver.h"
#include "testpages.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

QList<QByteArray> commandLineOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\0');
}

qint64 parentOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The name field may hold blanks; the parent pid follows its ')'.
    return stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

QList<qint64> descendantProcesses(qint64 root)
{
    QHash<qint64, qint64> parent;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (ok)
            parent.insert(pid, parentOf(pid));
    }
    QList<qint64> found;
    for (auto it = parent.constBegin(); it != parent.constEnd(); ++it) {
        for (qint64 up = it.value(); up > 1; up = parent.value(up, -1)) {
            if (up == root) {
                found << it.key();
                break;
            }
        }
    }
    return found;
}

} // namespace

class EngineStartTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pagesSeeUserAgentAndLanguage();
    void refreshAnswersInTopDocument();
    void refreshWorksFromEveryKindOfFrame_data();
    void refreshWorksFromEveryKindOfFrame();
    void refreshIsGoneAfterDeleteAndBackInNextDocument();
    void pageCannotForgeBridgeMessages();
    void helperProcessesAreThisExecutableWithFeatureSwitch();
    void profileKeepsItsFilesUnderProductFolder();
    void urlSwitchNamesTheFallbackAddress_data();
    void urlSwitchNamesTheFallbackAddress();

private:
    bool load(const QUrl &url);
    QVariant evaluate(const QString &script);
    int bridgeMessagesWithin(int ms);

    TestEnvironment *m_env = nullptr;
    TestHttpServer m_server;
    TestHttpServer m_otherOrigin;
    QWebEngineView *m_view = nullptr;
    BrowserPage *m_page = nullptr;
    QSignalSpy *m_messages = nullptr;
};

bool EngineStartTest::load(const QUrl &url)
{
    QSignalSpy finished(m_page, &QWebEnginePage::loadFinished);
    m_page->load(url);
    if (!finished.wait(15000))
        return false;
    return finished.first().first().toBool();
}

QVariant EngineStartTest::evaluate(const QString &script)
{
    QVariant result;
    bool done = false;
    m_page->runJavaScript(script, [&](const QVariant &value) {
        result = value;
        done = true;
    });
    QTest::qWaitFor([&]() { return done; }, 10000);
    return result;
}

int EngineStartTest::bridgeMessagesWithin(int ms)
{
    QTest::qWait(ms);
    return m_messages->count();
}

void EngineStartTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n41=StoreTest\n[Language]\ncurrent=de\n"));
    Language::instance()->init();
    QCOMPARE(startEngine(), 0);
    QVERIFY(SimpleApp::instance());
    const qint64 self = QCoreApplication::applicationPid();
    QVERIFY2(descendantProcesses(self).isEmpty(), "the engine must wait for the first page");

    QVERIFY(m_server.start());
    QVERIFY(m_otherOrigin.start());
    m_server.route("/plain", "<html><head><title>plain</title></head><body>plain</body></html>");
    m_server.route("/next", "<html><body>next document</body></html>");
    const QByteArray callFromFrame = "<html><body><script>parent.postMessage(String(window.refresh()), '*');"
                                     "</script></body></html>";
    m_server.route("/frame", callFromFrame);
    m_otherOrigin.route("/frame", callFromFrame);
    const QByteArray host = "<html><body><script>window.results = [];"
                            "addEventListener('message', function (e) { window.results.push(e.data); });"
                            "</script><iframe src='%1'></iframe></body></html>";
    m_server.route("/same-origin", QByteArray(host).replace("%1", "/frame"));
    m_server.route("/cross-origin",
                   QByteArray(host).replace("%1", m_otherOrigin.url(QStringLiteral("/frame")).toEncoded()));
    // The strict-CSP page and its script come from the shared pages.
    addTestPages(m_server);

    m_view = new QWebEngineView;
    m_page = new BrowserPage(SimpleApp::instance()->profile(), m_view);
    m_view->setPage(m_page);
    m_view->resize(640, 480);
    m_view->show();
    m_messages = new QSignalSpy(m_page, &BrowserPage::processMessageReceived);
    // The same look finds the engine's helpers once a page runs.
    QTRY_VERIFY_WITH_TIMEOUT(!descendantProcesses(self).isEmpty(), 15000);
}

void EngineStartTest::cleanupTestCase()
{
    delete m_messages;
    delete m_view;
    shutdownEngine();
    delete m_env;
}

void EngineStartTest::pagesSeeUserAgentAndLanguage()
{
    QVERIFY(load(m_server.url(QStringLiteral("/plain"))));
    const TestHttpServer::Request request = m_server.lastRequest("/plain");
    QCOMPARE(request.headers.value("user-agent"), QByteArray(EngineSettings::userAgentText));
    QVERIFY(request.headers.value("user-agent").endsWith(" VLX/0.12.1.3"));
    QVERIFY2(request.headers.value("accept-language").startsWith("de-DE"), request.headers.value("accept-language"));
    QCOMPARE(evaluate(QStringLiteral("navigator.userAgent")).toString(), QString::fromLatin1(EngineSettings::userAgentText));
    QCOMPARE(evaluate(QStringLiteral("navigator.language")).toString(), QStringLiteral("de-DE"));
}

void EngineStartTest::refreshAnswersInTopDocument()
{
    QVERIFY(load(m_server.url(QStringLiteral("/plain"))));
    m_messages->clear();
    QCOMPARE(evaluate(QStringLiteral("window.refresh()")).toString(), QStringLiteral("Refresh Test"));
    QCOMPARE(evaluate(QStringLiteral("window.refresh(1, 'x')")).toString(), QStringLiteral("Refresh Test"));
    QTRY_COMPARE(m_messages->count(), 2);
    for (const QList<QVariant> &emitted : qAsConst(*m_messages)) {
        const auto message = emitted.first().value<ProcessMessage>();
        QCOMPARE(message.name, QStringLiteral("msg_from_render"));
        QCOMPARE(message.arguments, QStringList{QStringLiteral("refresh")});
    }
    QCOMPARE(bridgeMessagesWithin(300), 2);
}

void EngineStartTest::refreshWorksFromEveryKindOfFrame_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("answer");
    QTest::newRow("same-origin iframe") << "/same-origin" << "window.results.join()";
    QTest::newRow("cross-origin iframe") << "/cross-origin" << "window.results.join()";
    QTest::newRow("strict CSP") << "/strict" << "window.answer";
}

void EngineStartTest::refreshWorksFromEveryKindOfFrame()
{
    QFETCH(QString, path);
    QFETCH(QString, answer);
    m_messages->clear();
    QVERIFY(load(m_server.url(path)));
    QTRY_COMPARE(evaluate(answer).toString(), QStringLiteral("Refresh Test"));
    QTRY_COMPARE(m_messages->count(), 1);
    QCOMPARE(m_messages->first().first().value<ProcessMessage>().arguments, QStringList{QStringLiteral("refresh")});
}

void EngineStartTest::refreshIsGoneAfterDeleteAndBackInNextDocument()
{
    QVERIFY(load(m_server.url(QStringLiteral("/plain"))));
    QCOMPARE(evaluate(QStringLiteral("delete window.refresh; typeof window.refresh")).toString(),
             QStringLiteral("undefined"));
    QCOMPARE(evaluate(QStringLiteral("window.refresh = function () { return 'page'; }; window.refresh()")).toString(),
             QStringLiteral("page"));
    m_messages->clear();
    QCOMPARE(bridgeMessagesWithin(300), 0);

    QVERIFY(load(m_server.url(QStringLiteral("/next"))));
    QCOMPARE(evaluate(QStringLiteral("window.refresh()")).toString(), QStringLiteral("Refresh Test"));
    QTRY_COMPARE(m_messages->count(), 1);
}

void EngineStartTest::pageCannotForgeBridgeMessages()
{
    const QRegularExpression payload(QStringLiteral("var payload = (\"[^\\n]*\");"));
    const QRegularExpressionMatch match = payload.match(ScriptBridge::senderScript().sourceCode());
    QVERIFY(match.hasMatch());

    QVERIFY(load(m_server.url(QStringLiteral("/plain"))));
    m_messages->clear();
    evaluate(QStringLiteral("console.log(%1); 1").arg(match.captured(1)));
    QCOMPARE(bridgeMessagesWithin(500), 0);
}

void EngineStartTest::helperProcessesAreThisExecutableWithFeatureSwitch()
{
    QVERIFY(load(m_server.url(QStringLiteral("/plain"))));
    const qint64 renderer = m_page->renderProcessPid();
    const QList<qint64> helpers = descendantProcesses(QCoreApplication::applicationPid());
    QVERIFY(helpers.contains(renderer));
    for (const qint64 pid : helpers) {
        QCOMPARE(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)), QCoreApplication::applicationFilePath());
        QVERIFY(commandLineOf(pid).contains("--no-sandbox"));
    }

    // Renderers are forked from the zygote and get their switches through it,
    // so /proc shows none of them; the engine's own report shows the command
    // line that every child's is made from. Chromium takes the last
    // --enable-features it finds.
    QVERIFY(load(QUrl(QStringLiteral("chrome://gpu"))));
    QString commandLine;
    QTRY_VERIFY_WITH_TIMEOUT(!(commandLine = evaluate(QStringLiteral(
        "(document.body.innerText.match(/Command Line\\t([^\\n]*)/) || ['', ''])[1]")).toString()).isEmpty(), 10000);
    const QStringList switches = commandLine.split(QLatin1Char(' '));
    QString features;
    for (const QString &item : switches) {
        if (item.startsWith(QLatin1String("--enable-features=")))
            features = item.mid(18);
    }
    QVERIFY2(features.split(QLatin1Char(',')).contains(QStringLiteral("SharedArrayBuffer")), qPrintable(commandLine));
    QVERIFY(switches.contains(QStringLiteral("--no-sandbox")));
    QVERIFY(switches.contains(QStringLiteral("--lang=de-DE")));

    QVERIFY(load(m_server.url(QStringLiteral("/plain"))));
    QCOMPARE(evaluate(QStringLiteral("new SharedArrayBuffer(8).byteLength")).toInt(), 8);
}

void EngineStartTest::urlSwitchNamesTheFallbackAddress_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("startUrl");
    const QString program = QStringLiteral("tradory");
    QTest::newRow("none") << QStringList{program, QStringLiteral("request.json")} << QString();
    QTest::newRow("empty is skipped") << QStringList{program, QStringLiteral("--url="), QStringLiteral("--url=http://a/")}
                                      << QStringLiteral("http://a/");
    QTest::newRow("first counts") << QStringList{program, QStringLiteral("--url=http://a/"), QStringLiteral("--url=http://b/")}
                                  << QStringLiteral("http://a/");
    QTest::newRow("other spellings") << QStringList{program, QStringLiteral("--url"), QStringLiteral("http://a/"),
                                                    QStringLiteral("-url=http://b/"), QStringLiteral("--urls=http://c/")}
                                     << QString();
}

void EngineStartTest::urlSwitchNamesTheFallbackAddress()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, startUrl);
    QCOMPARE(EngineSettings::fromEnvironment(arguments).startUrl, startUrl);
}

void EngineStartTest::profileKeepsItsFilesUnderProductFolder()
{
    const QString expected = m_env->dataRoot() + QStringLiteral("/StoreTest/cache/cef");
    QCOMPARE(SimpleApp::instance()->settings().cachePath, expected);
    QCOMPARE(SimpleApp::instance()->profile()->persistentStoragePath(), expected);
    QVERIFY(!SimpleApp::instance()->profile()->isOffTheRecord());
    QTRY_VERIFY(QDir(expected).exists());
}

TRADORY_ENGINE_TEST_MAIN(EngineStartTest)
#include "tst_enginestart.moc"
