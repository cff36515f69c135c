// The store window's notice to the launcher: whatever a request's oem and
// package name hold, the launcher gets one well-formed JSON object with
// exactly its three members.
#include "launchermessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class LauncherNoticeTest : public QObject
{
    Q_OBJECT

private slots:
    void ordinaryValuesKeepTheirBytes_data();
    void ordinaryValuesKeepTheirBytes();
    void noValueBreaksOrExtendsTheJson_data();
    void noValueBreaksOrExtendsTheJson();
};

void LauncherNoticeTest::ordinaryValuesKeepTheirBytes_data()
{
    QTest::addColumn<QString>("oem");
    QTest::addColumn<QString>("package");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("open") << "x" << "y" << true << QByteArray(R"(-tradory={"event":"open","oem":"x","package_name":"y"})");
    QTest::newRow("close") << "A" << "B" << false
                           << QByteArray(R"(-tradory={"event":"close","oem":"A","package_name":"B"})");
    QTest::newRow("escape decoded") << "o" << "p%41q" << true
                                    << QByteArray(R"(-tradory={"event":"open","oem":"o","package_name":"pAq"})");
    QTest::newRow("encoded utf-8") << "%C3%BC" << "Spiel ü" << true
                                   << QByteArray("-tradory={\"event\":\"open\",\"oem\":\"\xc3\xbc\",\"package_name\":\"Spiel \xc3\xbc\"}");
    QTest::newRow("quote escaped by json") << "a\"b" << "c\\d" << true
                                           << QByteArray(R"(-tradory={"event":"open","oem":"a\"b","package_name":"c\\d"})");
    QTest::newRow("no escape") << "100%zz" << "50%" << true
                               << QByteArray(R"(-tradory={"event":"open","oem":"100%zz","package_name":"50%"})");
    QTest::newRow("empty") << "" << "" << false << QByteArray(R"(-tradory={"event":"close","oem":"","package_name":""})");
}

void LauncherNoticeTest::ordinaryValuesKeepTheirBytes()
{
    QFETCH(QString, oem);
    QFETCH(QString, package);
    QFETCH(bool, open);
    QFETCH(QByteArray, expected);
    QCOMPARE(LauncherMessages::storeNotice(oem, package, open).toUtf8(), expected);
}

void LauncherNoticeTest::noValueBreaksOrExtendsTheJson_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("second event key") << "p%22,%22event%22:%22close";
    QTest::newRow("closing the object") << "p%22%7D,%7B%22event%22:%22close%22%7D";
    QTest::newRow("raw newline") << "line%0Anext%0D";
    QTest::newRow("nul") << "a%00b";
    QTest::newRow("every control character") << [] {
        QString all;
        for (int c = 0; c < 0x20; ++c)
            all += QStringLiteral("%%1").arg(c, 2, 16, QLatin1Char('0'));
        return all;
    }();
    QTest::newRow("backslash before the quote") << "%5C%22,%22oem%22:%22forged";
    QTest::newRow("escaped quote text") << "\\u0022,%5Cu0022event%5Cu0022";
    QTest::newRow("trailing backslash") << "x%5C";
    QTest::newRow("cut utf-8") << "%C3";
    QTest::newRow("not utf-8") << "%FF%FE%22";
    QTest::newRow("line separators") << QString(QChar(0x2028)) + QStringLiteral("%E2%80%A9");
    QTest::newRow("double encoded") << "%2522";
    QTest::newRow("long") << QStringLiteral("%22").repeated(5000);
}

void LauncherNoticeTest::noValueBreaksOrExtendsTheJson()
{
    QFETCH(QString, value);
    for (const bool open : {true, false}) {
        const QString oemFirst = LauncherMessages::storeNotice(value, QStringLiteral("pkg"), open);
        const QString packageFirst = LauncherMessages::storeNotice(QStringLiteral("oem"), value, open);
        for (const QString &notice : {oemFirst, packageFirst}) {
            QVERIFY(notice.startsWith(QLatin1String("-tradory={")));
            for (const QChar c : notice)
                QVERIFY2(c.unicode() >= 0x20, qPrintable(notice));
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(notice.mid(9).toUtf8(), &error);
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString() + notice));
            const QJsonObject object = document.object();
            QCOMPARE(object.keys(), (QStringList{QStringLiteral("event"), QStringLiteral("oem"), QStringLiteral("package_name")}));
            QCOMPARE(object.value(QStringLiteral("event")).toString(), open ? QStringLiteral("open") : QStringLiteral("close"));
        }
        // The launcher reads what the value meant, decoded once.
        const QString decoded = LauncherMessages::percentDecoded(value);
        QCOMPARE(QJsonDocument::fromJson(oemFirst.mid(9).toUtf8()).object().value(QStringLiteral("oem")).toString(), decoded);
        QCOMPARE(QJsonDocument::fromJson(packageFirst.mid(9).toUtf8()).object().value(QStringLiteral("package_name")).toString(),
                 decoded);
        // Fixed members are never the value's.
        QCOMPARE(QJsonDocument::fromJson(packageFirst.mid(9).toUtf8()).object().value(QStringLiteral("oem")).toString(),
                 QStringLiteral("oem"));
    }
}

QTEST_GUILESS_MAIN(LauncherNoticeTest)
#include "tst_launchernotices.moc"
