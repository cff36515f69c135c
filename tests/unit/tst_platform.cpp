// Per-user paths and the single-instance lock, against the real file system:
// every test gets its own temp folder and runtime folder.
#include "instancelock.h"
#include "localpaths.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Result = InstanceLock::Result;

namespace {

bool makeDir(const QString &path, int mode)
{
    const QByteArray native = QFile::encodeName(path);
    return mkdir(native.constData(), 0700) == 0 && chmod(native.constData(), mode_t(mode)) == 0;
}

bool writeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

int bytes(const QString &path)
{
    return QFile::encodeName(path).size();
}

} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_originalTmp = qgetenv("TMPDIR"); }

    void init()
    {
        // The scratch folder must not land in the previous test's TMPDIR.
        qputenv("TMPDIR", m_originalTmp.isEmpty() ? QByteArray("/tmp") : m_originalTmp);
        m_scratch.reset(new QTemporaryDir);
        QVERIFY(m_scratch->isValid());
        m_tmp = m_scratch->path() + QStringLiteral("/tmp");
        m_run = m_scratch->path() + QStringLiteral("/run");
        QVERIFY(makeDir(m_tmp, 0700));
        QVERIFY(makeDir(m_run, 0700));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_run));
    }

    void plainNamesKept()
    {
        QCOMPARE(LocalPaths::socketPath(QStringLiteral("TradoryServer")), m_run + QStringLiteral("/TradoryServer"));
        QCOMPARE(LocalPaths::socketPath(QStringLiteral("Vellora-X_1.2")), m_run + QStringLiteral("/Vellora-X_1.2"));
        QCOMPARE(LocalPaths::lockFilePath(QStringLiteral("TradoryInstance")),
                 m_run + QStringLiteral("/TradoryInstance.lock"));
        // Names that read the same once made safe still get paths of their own.
        const QString spaced = LocalPaths::socketPath(QStringLiteral("Tradory Server"));
        QVERIFY(spaced != LocalPaths::socketPath(QStringLiteral("Tradory/Server")));
        QVERIFY(spaced != LocalPaths::socketPath(QStringLiteral("Tradory_Server")));
    }

    void unsafeNamesBecomeSafe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("slash") << QStringLiteral("../shop/server");
        QTest::newRow("space") << QStringLiteral("Tradory Server");
        QTest::newRow("non-ASCII") << QStringLiteral("Trad\u00f6ry\u2014\U0001F600");
        QTest::newRow("leading dot") << QStringLiteral(".TradoryServer");
        QTest::newRow("slash inside") << QStringLiteral("Tradory/Server");
        QTest::newRow("empty") << QString();
        QTest::newRow("very long") << QString(300, QLatin1Char('s'));
        // The server removes what is at its path before it listens there.
        QTest::newRow("absolute path") << QStringLiteral("/var/tmp/some folder/launcher socket");
        QTest::newRow("root") << QStringLiteral("/");
    }

    void unsafeNamesBecomeSafe()
    {
        QFETCH(QString, name);
        static const QRegularExpression safeName(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9_.-]*$"));
        const QString socket = LocalPaths::socketPath(name);
        const QString lock = LocalPaths::lockFilePath(name);
        for (const QString &path : {socket, lock}) {
            QVERIFY2(path.startsWith(m_run + QLatin1Char('/')), qPrintable(path));
            const QString file = path.mid(m_run.size() + 1);
            QVERIFY2(safeName.match(file).hasMatch(), qPrintable(file));
            QVERIFY(file != name && file != name + QStringLiteral(".lock"));
        }
        QVERIFY2(bytes(socket) <= LocalPaths::maxSocketPathBytes, qPrintable(socket));
        QVERIFY(lock.endsWith(QStringLiteral(".lock")));
        // Both ends of the channel compute the path on their own, and a name
        // that only adds to this one (a long shared prefix) gets another path.
        QCOMPARE(LocalPaths::socketPath(name), socket);
        QCOMPARE(LocalPaths::lockFilePath(name), lock);
        QVERIFY(LocalPaths::socketPath(name + QLatin1Char('x')) != socket);
        QVERIFY(LocalPaths::lockFilePath(name + QLatin1Char('x')) != lock);
    }

    void pathsFitUnderLongRuntimeDir_data()
    {
        QTest::addColumn<int>("dirBytes");
        QTest::addColumn<QString>("name");
        for (int length : {60, 88, 95, 98}) {
            const QByteArray tag = QByteArray::number(length);
            QTest::newRow(tag + " plain") << length << QStringLiteral("TradoryServer");
            QTest::newRow(tag + " long") << length << QString(200, QLatin1Char('x'));
            QTest::newRow(tag + " unsafe") << length << QStringLiteral("Tradory Server");
        }
    }

    void pathsFitUnderLongRuntimeDir()
    {
        QFETCH(int, dirBytes);
        QFETCH(QString, name);
        const int padding = dirBytes - bytes(m_scratch->path()) - 1;
        QVERIFY(padding > 0);
        const QString run = m_scratch->path() + QLatin1Char('/') + QString(padding, QLatin1Char('r'));
        QVERIFY(makeDir(run, 0700));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));

        const QString path = LocalPaths::socketPath(name);
        QVERIFY2(path.startsWith(run + QLatin1Char('/')), qPrintable(path));
        QVERIFY2(bytes(path) <= LocalPaths::maxSocketPathBytes, qPrintable(QString::number(bytes(path))));
        QVERIFY(path != LocalPaths::socketPath(name + QLatin1Char('2')));
    }

    void runtimeDirFallback_data()
    {
        QTest::addColumn<QString>("xdg");
        QTest::addColumn<QString>("atFallback");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("XDG unset") << QString() << QString() << true;
        QTest::newRow("XDG group-writable") << QStringLiteral("0770") << QString() << true;
        QTest::newRow("XDG world-writable, sticky") << QStringLiteral("1777") << QString() << true;
        QTest::newRow("XDG relative") << QStringLiteral("relative") << QString() << true;
        QTest::newRow("XDG a file") << QStringLiteral("file") << QString() << true;
        QTest::newRow("fallback is a symlink to a private folder") << QString() << QStringLiteral("symlink") << false;
        QTest::newRow("fallback is a file") << QString() << QStringLiteral("file") << false;
        QTest::newRow("fallback open to others") << QString() << QStringLiteral("open") << false;
    }

    void runtimeDirFallback()
    {
        QFETCH(QString, xdg);
        QFETCH(QString, atFallback);
        QFETCH(bool, accepted);
        const QString file = m_scratch->path() + QStringLiteral("/file");
        QVERIFY(writeFile(file));
        if (xdg.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else if (xdg == QLatin1String("relative"))
            qputenv("XDG_RUNTIME_DIR", "run");
        else if (xdg == QLatin1String("file"))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(file));
        else
            QCOMPARE(chmod(QFile::encodeName(m_run).constData(), mode_t(xdg.toInt(nullptr, 8))), 0);
        if (atFallback == QLatin1String("symlink"))
            QVERIFY(QFile::link(m_run, fallbackDir()));
        else if (atFallback == QLatin1String("file"))
            QVERIFY(writeFile(fallbackDir()));
        else if (atFallback == QLatin1String("open"))
            QVERIFY(makeDir(fallbackDir(), 0777));

        if (!accepted) {
            QCOMPARE(LocalPaths::runtimeDir(), QString());
            QCOMPARE(LocalPaths::socketPath(QStringLiteral("TradoryServer")), QString());
            QCOMPARE(LocalPaths::lockFilePath(QStringLiteral("TradoryInstance")), QString());
            return;
        }
        QCOMPARE(LocalPaths::runtimeDir(), fallbackDir());
        struct stat st;
        QCOMPARE(lstat(QFile::encodeName(fallbackDir()).constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
        // The next call accepts the folder the first one made.
        QCOMPARE(LocalPaths::socketPath(QStringLiteral("TradoryServer")), fallbackDir() + QStringLiteral("/TradoryServer"));
    }

    void lockIsExclusivePerName()
    {
        const QString name = QStringLiteral("TradoryInstance");
        InstanceLock first;
        InstanceLock second;
        InstanceLock other;
        QCOMPARE(first.tryLock(name), Result::Acquired);
        QVERIFY(first.isHeld());
        QCOMPARE(second.tryLock(name), Result::HeldElsewhere);
        QVERIFY(!second.isHeld());
        QCOMPARE(other.tryLock(QStringLiteral("OtherInstance")), Result::Acquired);

        first.release();
        QCOMPARE(second.tryLock(name), Result::Acquired);
        QCOMPARE(first.tryLock(name), Result::HeldElsewhere);
        {
            InstanceLock scoped;
            QCOMPARE(scoped.tryLock(QStringLiteral("Scoped")), Result::Acquired);
        }
        QCOMPARE(first.tryLock(QStringLiteral("Scoped")), Result::Acquired);
    }

    void lockFailsWhenFileUnusable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no runtime folder") << QStringLiteral("missing");
        QTest::newRow("lock path is a folder") << QStringLiteral("folder");
    }

    void lockFailsWhenFileUnusable()
    {
        QFETCH(QString, kind);
        const QString name = QStringLiteral("TradoryInstance");
        if (kind == QLatin1String("missing")) {
            qunsetenv("XDG_RUNTIME_DIR");
            qputenv("TMPDIR", QFile::encodeName(m_scratch->path() + QStringLiteral("/missing/deeper")));
        } else {
            QVERIFY(makeDir(LocalPaths::lockFilePath(name), 0700));
        }
        InstanceLock lock;
        QCOMPARE(lock.tryLock(name), Result::Failed);
        QVERIFY(!lock.isHeld());
        QVERIFY(!lock.errorString().isEmpty());
    }

    void lockOfKilledHolderIsFree()
    {
        const QString name = QStringLiteral("TradoryInstance");
        const QByteArray path = QFile::encodeName(LocalPaths::lockFilePath(name));
        int ready[2];
        QCOMPARE(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            // Only async-signal-safe calls until the parent kills us.
            const int fd = ::open(path.constData(), O_RDWR | O_CREAT, 0600);
            const char locked = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
            if (write(ready[1], &locked, 1) != 1)
                _exit(1);
            for (;;)
                pause();
        }
        QVERIFY(child > 0);
        close(ready[1]);
        char locked = 0;
        const ssize_t got = read(ready[0], &locked, 1);
        close(ready[0]);
        InstanceLock lock;
        const Result whileAlive = lock.tryLock(name);
        kill(child, SIGKILL);
        QCOMPARE(waitpid(child, nullptr, 0), child);

        QCOMPARE(got, ssize_t(1));
        QCOMPARE(locked, '1');
        QCOMPARE(whileAlive, Result::HeldElsewhere);
        QCOMPARE(lock.tryLock(name), Result::Acquired);
    }

private:
    QString fallbackDir() const { return m_tmp + QStringLiteral("/vellora-%1").arg(geteuid()); }

    std::unique_ptr<QTemporaryDir> m_scratch;
    QString m_tmp;
    QString m_run;
    QByteArray m_originalTmp;
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
