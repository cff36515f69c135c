// Launch requests: which names are refused before any file access, what a
// request file gives, what is consumed, and the window rules that need no
// browser (registry, cascade, first geometry).
#include "cloudgame.h"
#include "launcharguments.h"
#include "requestfile.h"
#include "testenvironment.h"
#include "windowregistry.h"

#include <QDir>
#include <QFile>
#include <QWidget>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

class LaunchRequestTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void namesThatAreRefused_data();
    void namesThatAreRefused();
    void refusedNamesTouchNoFile();
    void hostileNamesNeverReachOutside();
    void requestFileIsReadAndConsumed();
    void malformedFilesGiveEmptyFields_data();
    void malformedFilesGiveEmptyFields();
    void onlyRegularFilesAreRead();
    void removesOnlyTheFileThatWasRead();
    void requestFolderMayBeALink();
    void emptyArgumentGivesDefaultPage();
    void applicationSeesNoOptionOfTheCommandLine();
    void registryKeysByFullName();
    void cascadeStaysInsideTheScreen_data();
    void cascadeStaysInsideTheScreen();
    void firstGeometry_data();
    void firstGeometry();

private:
    QString writeRequest(const QString &name, const QByteArray &bytes);
    TestEnvironment *m_env = nullptr;
};

void LaunchRequestTest::initTestCase()
{
    m_env = new TestEnvironment;
    m_env->writeConfig(QStringLiteral("[AppConfig]\n7=http://127.0.0.1:9/default\n41=Product\n"));
}

void LaunchRequestTest::cleanupTestCase()
{
    delete m_env;
}

void LaunchRequestTest::init()
{
    QDir(RequestFile::requestFolder()).removeRecursively();
    QVERIFY(QDir().mkpath(RequestFile::requestFolder()));
}

QString LaunchRequestTest::writeRequest(const QString &name, const QByteArray &bytes)
{
    QFile file(RequestFile::requestFolder() + name);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

void LaunchRequestTest::namesThatAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain") << "request-1.json" << false;
    QTest::newRow("unicode") << "Spiel-ü-游戏.json" << false;
    QTest::newRow("dots inside words") << "a.b.c" << false;
    QTest::newRow("longest name") << QString(255, QLatin1Char('x')) << false;
    QTest::newRow("parent") << ".." << true;
    QTest::newRow("parent path") << "../secret" << true;
    QTest::newRow("double dot") << "a..b" << true;
    QTest::newRow("current") << "." << true;
    QTest::newRow("option") << "-x.json" << true;
    QTest::newRow("engine switch") << "--remote-debugging-port=9333" << true;
    QTest::newRow("engine type switch") << "--type=renderer" << true;
    QTest::newRow("dash later") << "x--y.json" << false;
    QTest::newRow("absolute") << "/etc/passwd" << true;
    QTest::newRow("slash") << "sub/file.json" << true;
    QTest::newRow("backslash") << "sub\\file.json" << true;
    QTest::newRow("nul") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << true;
    QTest::newRow("newline") << "a\nb" << true;
    QTest::newRow("escape") << "a\x1b[2Jb" << true;
    QTest::newRow("delete") << "a\x7f" << true;
    QTest::newRow("bad utf-8") << QString::fromUtf8("a\xff\xfe.json") << true;
    QTest::newRow("too long") << QString(256, QLatin1Char('x')) << true;
    QTest::newRow("too long in bytes") << QString(128, QChar(0x00fc)) << true;
}

void LaunchRequestTest::namesThatAreRefused()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    QCOMPARE(!RequestFile::refusalReason(name).isEmpty(), refused);
}

void LaunchRequestTest::refusedNamesTouchNoFile()
{
    // A file beside the request folder, reachable by "../".
    const QString outside = RequestFile::requestFolder() + QStringLiteral("../secret.json");
    QFile file(outside);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"package_name":"stolen"})");
    file.close();

    for (const QString &name : {QStringLiteral("../secret.json"), outside, QStringLiteral("./../secret.json")}) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("request name refused")));
        LaunchRequest request;
        QCOMPARE(RequestFile::parseLaunchRequest(name, request), RequestFile::Outcome::Refused);
        QCOMPARE(request.packageName, QString());
    }
    QVERIFY(QFile::exists(outside));
}

namespace {

QStringList capturedWarnings;
void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        capturedWarnings << message;
}

} // namespace

void LaunchRequestTest::hostileNamesNeverReachOutside()
{
    // Decoys beside and above the request folder, with what they hold.
    const QString folder = RequestFile::requestFolder();
    const QString outside = m_env->root() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(outside));
    QMap<QString, QByteArray> decoys;
    for (const QString &path : {outside + QStringLiteral("/secret.json"), folder + QStringLiteral("../secret.json"),
                                m_env->root() + QStringLiteral("/secret.json")}) {
        const QByteArray content = R"({"package_name":"stolen"})" + path.toUtf8();
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        decoys.insert(path, content);
    }
    // Plain names inside the folder that are no regular files.
    QVERIFY(QFile::link(outside + QStringLiteral("/secret.json"), folder + QStringLiteral("link.json")));
    QVERIFY(QFile::link(outside, folder + QStringLiteral("linkdir")));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("dir.json")));
    QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("fifo.json")).constData(), 0600), 0);

    QStringList hostile;
    const QStringList targets = {QStringLiteral("secret.json"), QStringLiteral("outside/secret.json"),
                                 QStringLiteral("x"), QStringLiteral("LocalGames/../secret.json"),
                                 QStringLiteral("secret.json/..")};
    const QStringList prefixes = {QStringLiteral("../"), QStringLiteral("../../"), QStringLiteral("./../"),
                                  QStringLiteral(".../"), QStringLiteral("..\\"), QStringLiteral("sub/../../"),
                                  QStringLiteral("/"), QStringLiteral("//"), QStringLiteral("linkdir/"),
                                  QStringLiteral("./"), QStringLiteral("~/"), QStringLiteral("%2e%2e/")};
    for (const QString &target : targets) {
        for (const QString &prefix : prefixes)
            hostile << prefix + target << prefix + prefix + target;
        hostile << m_env->root() + QLatin1Char('/') + target << folder + target;
        for (const char control : {'\0', '\n', '\r', '\t', '\x01', '\x1b', '\x7f'}) {
            hostile << target + QLatin1Char(control) << QLatin1Char(control) + target
                    << target.left(2) + QLatin1Char(control) + QStringLiteral("/../") + target;
        }
        for (const QByteArray &bytes : {QByteArray("\xff"), QByteArray("\xc3"), QByteArray("\xed\xa0\x80"),
                                        QByteArray("\xf8\x88\x80\x80\x80")})
            hostile << QString::fromUtf8(bytes + target.toUtf8()) << QString::fromUtf8(target.toUtf8() + bytes);
    }
    for (int length : {256, 300, 1000, 4096, 70000})
        hostile << QString(length, QLatin1Char('a')) << QString(length / 2 + 1, QChar(0x00e9));
    hostile << QStringLiteral("..") << QStringLiteral(".") << QStringLiteral("...") << QStringLiteral("../")
            << QStringLiteral("..\\..") << QStringLiteral("a..b") << QStringLiteral("..json");
    QVERIFY2(hostile.size() >= 200, qPrintable(QString::number(hostile.size())));

    capturedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
    int refused = 0;
    for (const QString &name : qAsConst(hostile)) {
        LaunchRequest request;
        const RequestFile::Outcome outcome = RequestFile::parseLaunchRequest(name, request);
        refused += outcome == RequestFile::Outcome::Refused ? 1 : 0;
        if (request.packageName == QLatin1String("stolen"))
            QFAIL(qPrintable(QStringLiteral("read through %1").arg(name)));
    }
    for (const QString &name : {QStringLiteral("link.json"), QStringLiteral("linkdir"), QStringLiteral("dir.json"),
                                QStringLiteral("fifo.json")}) {
        LaunchRequest request;
        QCOMPARE(RequestFile::parseLaunchRequest(name, request), RequestFile::Outcome::Unusable);
        QCOMPARE(request.packageName, QString());
    }
    qInstallMessageHandler(previous);

    for (auto it = decoys.constBegin(); it != decoys.constEnd(); ++it) {
        QFile file(it.key());
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(it.key()));
        QCOMPARE(file.readAll(), it.value());
    }
    QVERIFY(QFileInfo(folder + QStringLiteral("link.json")).isSymLink());
    QVERIFY(QFileInfo(folder + QStringLiteral("dir.json")).isDir());
    // Every one refused, each logged once.
    QCOMPARE(refused, hostile.size());
    QCOMPARE(capturedWarnings.filter(QStringLiteral("request name refused")).size(), refused);
    qInfo("%d hostile names: %d refused, 0 files outside read or deleted", int(hostile.size()), refused);
}

void LaunchRequestTest::requestFileIsReadAndConsumed()
{
    const QString path = writeRequest(
        QStringLiteral("r1.json"),
        R"({"oem":"acme","package_name":"pkg.ü","type":"-tradory=","cloud_app_url":"http://x/y","game_name":"Spiel","extra":1})");
    LaunchRequest request;
    QCOMPARE(RequestFile::parseLaunchRequest(QStringLiteral("r1.json"), request), RequestFile::Outcome::Read);
    QCOMPARE(request.oem, QStringLiteral("acme"));
    QCOMPARE(request.packageName, QStringLiteral("pkg.ü"));
    QCOMPARE(request.type, QStringLiteral("-tradory="));
    QCOMPARE(request.url, QStringLiteral("http://x/y"));
    QCOMPARE(request.gameName, QStringLiteral("Spiel"));
    QCOMPARE(request.iconPath, QString());
    QVERIFY(!QFile::exists(path));

    // A byte order mark in front is no reason to lose the request.
    writeRequest(QStringLiteral("bom.json"), "\xEF\xBB\xBF{\"package_name\":\"withBom\"}");
    LaunchRequest withBom;
    RequestFile::parseLaunchRequest(QStringLiteral("bom.json"), withBom);
    QCOMPARE(withBom.packageName, QStringLiteral("withBom"));
}

void LaunchRequestTest::malformedFilesGiveEmptyFields_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not json") << QByteArray("package_name=x");
    QTest::newRow("array") << QByteArray(R"(["package_name","x"])");
    QTest::newRow("truncated") << QByteArray(R"({"package_name":"x")");
    QTest::newRow("wrong types") << QByteArray(R"({"package_name":42,"oem":{"a":1},"type":null,"game_name":[1]})");
    QTest::newRow("deep nesting") << QByteArray(10000, '[') ;
    QTest::newRow("invalid utf-8") << QByteArray("{\"package_name\":\"\xff\xfe\"}");
    QTest::newRow("too large") << QByteArray("{\"package_name\":\"x\",\"pad\":\"") + QByteArray(RequestFile::maxFileBytes, 'p')
            + QByteArray("\"}");
}

void LaunchRequestTest::malformedFilesGiveEmptyFields()
{
    QFETCH(QByteArray, content);
    const QString path = writeRequest(QStringLiteral("bad.json"), content);
    LaunchRequest request;
    if (content.size() > RequestFile::maxFileBytes)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("larger than")));
    RequestFile::parseLaunchRequest(QStringLiteral("bad.json"), request);
    QVERIFY2(request.packageName.isEmpty() || request.packageName != QLatin1String("x"), qPrintable(request.packageName));
    QCOMPARE(request.oem, QString());
    QCOMPARE(request.url, QString());
    QVERIFY(!QFile::exists(path));
}

void LaunchRequestTest::onlyRegularFilesAreRead()
{
    const QString outside = m_env->root() + QStringLiteral("/outside.json");
    QFile target(outside);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write(R"({"package_name":"outside"})");
    target.close();
    const QString folder = RequestFile::requestFolder();
    QVERIFY(QFile::link(outside, folder + QStringLiteral("link.json")));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("folder.json")));
    QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("fifo.json")).constData(), 0600), 0);

    for (const QString &name : {QStringLiteral("link.json"), QStringLiteral("folder.json"), QStringLiteral("fifo.json"),
                                QStringLiteral("missing.json")}) {
        LaunchRequest request;
        QCOMPARE(RequestFile::parseLaunchRequest(name, request), RequestFile::Outcome::Unusable);
        QCOMPARE(request.packageName, QString());
    }
    QVERIFY(QFile::exists(outside));
    QCOMPARE(QFile::symLinkTarget(folder + QStringLiteral("link.json")), outside);
}

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

void LaunchRequestTest::removesOnlyTheFileThatWasRead()
{
    const QString folder = QDir::cleanPath(RequestFile::requestFolder());
    const QString moved = folder + QStringLiteral(".moved");
    const QString elsewhere = m_env->root() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    const QByteArray other = R"({"package_name":"elsewhere"})";
    QFile otherFile(elsewhere + QStringLiteral("/swap.json"));
    QVERIFY(otherFile.open(QIODevice::WriteOnly));
    otherFile.write(other);
    otherFile.close();
    writeRequest(QStringLiteral("swap.json"), R"({"package_name":"real"})");

    // The folder becomes a link to another one after the read.
    RequestFile::setBeforeRemoveHook([&](const QString &) {
        QDir().rename(folder, moved);
        QFile::link(elsewhere, folder);
    });
    LaunchRequest request;
    const RequestFile::Outcome outcome = RequestFile::parseLaunchRequest(QStringLiteral("swap.json"), request);
    RequestFile::setBeforeRemoveHook({});
    const QByteArray leftElsewhere = contentOf(elsewhere + QStringLiteral("/swap.json"));
    const bool readOneLeft = QFile::exists(moved + QStringLiteral("/swap.json"));
    QFile::remove(folder);
    QDir().rename(moved, folder);
    QCOMPARE(outcome, RequestFile::Outcome::Read);
    QCOMPARE(request.packageName, QStringLiteral("real"));
    QCOMPARE(leftElsewhere, other);
    QVERIFY2(!readOneLeft, "the request that was read is still there");

    // Another file put in its place after the read is not the one read.
    writeRequest(QStringLiteral("replaced.json"), R"({"package_name":"first"})");
    const QByteArray replacement = R"({"package_name":"second"})";
    RequestFile::setBeforeRemoveHook([&](const QString &name) {
        const QString path = writeRequest(name + QStringLiteral(".new"), replacement);
        ::rename(QFile::encodeName(path).constData(), QFile::encodeName(folder + QLatin1Char('/') + name).constData());
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("replaced")));
    LaunchRequest first;
    RequestFile::parseLaunchRequest(QStringLiteral("replaced.json"), first);
    RequestFile::setBeforeRemoveHook({});
    QCOMPARE(first.packageName, QStringLiteral("first"));
    QCOMPARE(contentOf(folder + QStringLiteral("/replaced.json")), replacement);
}

void LaunchRequestTest::requestFolderMayBeALink()
{
    // Data kept on another disk: the request folder is a link to it.
    const QString folder = QDir::cleanPath(RequestFile::requestFolder());
    const QString target = m_env->root() + QStringLiteral("/otherdisk");
    QVERIFY(QDir().mkpath(target));
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(QFile::link(target, folder));
    writeRequest(QStringLiteral("linked.json"), R"({"package_name":"linked"})");
    const QString secret = target + QStringLiteral("/../secret.json");
    QFile file(secret);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"package_name":"stolen"})");
    file.close();

    LaunchRequest request;
    const RequestFile::Outcome outcome = RequestFile::parseLaunchRequest(QStringLiteral("linked.json"), request);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("request name refused")));
    LaunchRequest outside;
    const RequestFile::Outcome refused = RequestFile::parseLaunchRequest(QStringLiteral("../secret.json"), outside);
    const bool consumed = !QFile::exists(target + QStringLiteral("/linked.json"));
    QFile::remove(folder);
    QCOMPARE(outcome, RequestFile::Outcome::Read);
    QCOMPARE(request.packageName, QStringLiteral("linked"));
    QVERIFY(consumed);
    QCOMPARE(refused, RequestFile::Outcome::Refused);
    QVERIFY(QFile::exists(secret));
}

void LaunchRequestTest::emptyArgumentGivesDefaultPage()
{
    LaunchRequest request;
    QCOMPARE(RequestFile::parseLaunchRequest(QString(), request), RequestFile::Outcome::Defaults);
    QCOMPARE(request.url, QStringLiteral("http://127.0.0.1:9/default"));
    QCOMPARE(request.packageName, QString());
}

void LaunchRequestTest::applicationSeesNoOptionOfTheCommandLine()
{
    // Qt would load the style sheet or the plugin; Chromium would listen.
    QByteArrayList given = {"tradory", "--url=http://first/", "--url=http://second/", "-stylesheet=/tmp/x.qss",
                            "-plugin", "evil", "--remote-debugging-port=9333", "--enable-chrome-runtime",
                            "--type=renderer", "-platform", "offscreen"};
    std::vector<char *> argv;
    for (QByteArray &argument : given)
        argv.push_back(argument.data());
    LaunchArguments arguments(int(argv.size()), argv.data());
    QCOMPARE(arguments.all().size(), given.size());
    QCOMPARE(arguments.all().at(1), QStringLiteral("--url=http://first/"));
    const QStringList expected = {QStringLiteral("tradory"), QStringLiteral("--url=http://second/"),
                                  QStringLiteral("--enable-chrome-runtime")};
    QCOMPARE(arguments.applicationArguments(), expected);
    QCOMPARE(arguments.applicationArgc(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(QString::fromUtf8(arguments.applicationArgv()[i]), expected.at(i));
    QCOMPARE(arguments.applicationArgv()[expected.size()], nullptr);
}

void LaunchRequestTest::registryKeysByFullName()
{
    WindowRegistry *registry = WindowRegistry::instance();
    QWidget first;
    QWidget second;
    QWidget third;
    QWidget nameless;
    // Both would be "??" in Latin-1.
    registry->append(QStringLiteral("游戏"), &first);
    registry->append(QStringLiteral("游玩"), &second);
    registry->append(QStringLiteral("Game"), &third);
    registry->append(QString(), &nameless);
    QCOMPARE(registry->find(QStringLiteral("游戏")), &first);
    QCOMPARE(registry->find(QStringLiteral("游玩")), &second);
    QCOMPARE(registry->find(QStringLiteral("game")), nullptr);
    QCOMPARE(registry->find(QString()), nullptr);
    QCOMPARE(registry->previousWindow(), &third);

    QVERIFY(registry->remove(&third));
    QVERIFY(!registry->remove(&third));
    QCOMPARE(registry->previousWindow(), &second);
    QCOMPARE(registry->entries().size(), 3);
    registry->remove(&first);
    registry->remove(&second);
    registry->remove(&nameless);
    QVERIFY(registry->entries().isEmpty());
}

void LaunchRequestTest::cascadeStaysInsideTheScreen_data()
{
    QTest::addColumn<QRect>("previous");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");
    const QPoint none(-1, -1);
    QTest::newRow("room") << QRect(242, 193, 796, 637) << QSize(796, 637) << QRect(0, 0, 1280, 1024) << QPoint(272, 223);
    QTest::newRow("just fits") << QRect(454, 357, 796, 637) << QSize(796, 637) << QRect(0, 0, 1280, 1024)
                               << QPoint(484, 387);
    QTest::newRow("right edge out") << QRect(455, 0, 796, 637) << QSize(796, 637) << QRect(0, 0, 1280, 1024) << none;
    QTest::newRow("bottom edge out") << QRect(0, 358, 796, 637) << QSize(796, 637) << QRect(0, 0, 1280, 1024) << none;
    QTest::newRow("second screen") << QRect(1300, 10, 500, 400) << QSize(500, 400) << QRect(1280, 0, 1920, 1080)
                                   << QPoint(1330, 40);
}

void LaunchRequestTest::cascadeStaysInsideTheScreen()
{
    QFETCH(QRect, previous);
    QFETCH(QSize, size);
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    const std::optional<QPoint> placed = WindowRegistry::cascadePosition(previous, size, available);
    QCOMPARE(placed.value_or(QPoint(-1, -1)), expected);
}

void LaunchRequestTest::firstGeometry_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("1280x1024") << QRect(0, 0, 1280, 1024) << QRect(242, 193, 796, 637);
    QTest::newRow("1024x600 keeps the minimum") << QRect(0, 0, 1024, 600) << QRect(164, 77, 696, 446);
    QTest::newRow("tiny screen: y not negative") << QRect(0, 0, 640, 400) << QRect(-28, 0, 696, 446);
    QTest::newRow("offset screen") << QRect(1280, 30, 1920, 1050) << QRect(1280 + 362, 30 + 198, 1195, 653);
}

void LaunchRequestTest::firstGeometry()
{
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    QCOMPARE(CloudGame::initialGeometry(available), expected);
}

QTEST_MAIN(LaunchRequestTest)
#include "tst_launchrequests.moc"
