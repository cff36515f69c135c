// The budget that bounds what pages can make the program do, and the log
// lines a page causes.
#include "pagelog.h"
#include "ratebudget.h"

#include <QtTest>

class PageLimitsTest : public QObject
{
    Q_OBJECT

private slots:
    void burstThenOneEachInterval();
    void idleTimeFillsNoMoreThanTheBurst();
    void timeShortOfAWholeTokenCounts();
    void refusalsAreCountedUntilTheNextGrant();
    void clockGoingBackDoesNotStopTheRefill();
    void longTextsAreShortenedAndSaySo();
    void pageLogBoundsLinesAndCountsTheRest();
    void pageLogKeepsToItsCategory();
};

namespace {

QStringList logged;
QtMessageHandler passOn = nullptr;

void keep(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    logged << QStringLiteral("%1 %2 %3").arg(int(type)).arg(QLatin1String(context.category), message);
}

Q_LOGGING_CATEGORY(quietPages, "test.pages", QtWarningMsg)

} // namespace

void PageLimitsTest::burstThenOneEachInterval()
{
    RateBudget budget(3, 100);
    QVERIFY(budget.takeAt(0));
    QVERIFY(budget.takeAt(0));
    QVERIFY(budget.takeAt(1));
    QVERIFY(!budget.takeAt(50));
    QVERIFY(budget.takeAt(100));
    QVERIFY(!budget.takeAt(150));
    QVERIFY(budget.takeAt(200));
    QVERIFY(!budget.takeAt(200));
}

void PageLimitsTest::idleTimeFillsNoMoreThanTheBurst()
{
    RateBudget budget(2, 100);
    QVERIFY(budget.takeAt(0));
    QVERIFY(budget.takeAt(0));
    int granted = 0;
    for (int i = 0; i < 10; ++i)
        granted += budget.takeAt(100000) ? 1 : 0;
    QCOMPARE(granted, 2);
    // And the interval starts again from the time the bucket was full.
    QVERIFY(!budget.takeAt(100050));
    QVERIFY(budget.takeAt(100100));

    // A bucket that has been full since it was made holds no time either:
    // a page whose first dialogs come just short of an interval after it
    // loaded gets the burst, not the burst and one more.
    RateBudget late(2, 100);
    QVERIFY(late.takeAt(95));
    QVERIFY(late.takeAt(95));
    QVERIFY(!late.takeAt(100));
    QVERIFY(late.takeAt(195));
}

void PageLimitsTest::timeShortOfAWholeTokenCounts()
{
    RateBudget budget(2, 100);
    QVERIFY(budget.takeAt(0));
    QVERIFY(budget.takeAt(0));
    QVERIFY(!budget.takeAt(60));
    QVERIFY(budget.takeAt(160));  // one token, 60 ms towards the next
    QVERIFY(!budget.takeAt(190));
    QVERIFY(budget.takeAt(200));
    // A full bucket keeps no time in hand.
    RateBudget single(1, 100);
    QVERIFY(single.takeAt(0));
    QVERIFY(single.takeAt(160));
    QVERIFY(!single.takeAt(200));
    QVERIFY(single.takeAt(260));
}

void PageLimitsTest::refusalsAreCountedUntilTheNextGrant()
{
    RateBudget budget(1, 100);
    QVERIFY(budget.takeAt(0));
    QCOMPARE(budget.refusedSinceGranted(), 0);
    for (int i = 0; i < 7; ++i)
        QVERIFY(!budget.takeAt(10));
    QCOMPARE(budget.refusedSinceGranted(), 7);
    QVERIFY(budget.takeAt(100));
    QCOMPARE(budget.refusedSinceGranted(), 0);
}

void PageLimitsTest::clockGoingBackDoesNotStopTheRefill()
{
    RateBudget budget(1, 100);
    QVERIFY(budget.takeAt(5000));
    QVERIFY(!budget.takeAt(1000));
    QVERIFY(budget.takeAt(1100));
}

void PageLimitsTest::longTextsAreShortenedAndSaySo()
{
    QCOMPARE(PageLog::shortened(QStringLiteral("short"), 10), QStringLiteral("short"));
    const QString cut = PageLog::shortened(QString(100000, QLatin1Char('x')), 500);
    QVERIFY(cut.startsWith(QString(500, QLatin1Char('x')) + QStringLiteral("...")));
    QVERIFY(cut.endsWith(QStringLiteral("(100000 characters)")));
    QVERIFY(cut.size() < 600);
}

void PageLimitsTest::pageLogBoundsLinesAndCountsTheRest()
{
    logged.clear();
    passOn = qInstallMessageHandler(keep);
    {
        QObject page;
        PageLog log(&page, 2, 100);
        for (int i = 0; i < 6; ++i)
            log.write(QtWarningMsg, "page console", QStringLiteral("line %1\nforged line").arg(i) + QString(5000, QLatin1Char('x')));
        QCOMPARE(logged.size(), 2);
        for (const QString &line : qAsConst(logged)) {
            QVERIFY(line.contains(QLatin1String("[Tradory] page console: \"line ")));
            QVERIFY2(!line.contains(QLatin1Char('\n')), qPrintable(line.left(100)));
            QVERIFY(line.size() < 700);
        }
        QTRY_COMPARE_WITH_TIMEOUT(logged.size(), 3, 2000);
        QVERIFY2(logged.last().endsWith(QLatin1String("[Tradory] page console: 4 more lines of this page left out")),
                 qPrintable(logged.last()));
        // Nothing more to tell: no further line.
        QTest::qWait(300);
        QCOMPARE(logged.size(), 3);
    }
    qInstallMessageHandler(passOn);
}

void PageLimitsTest::pageLogKeepsToItsCategory()
{
    logged.clear();
    passOn = qInstallMessageHandler(keep);
    PageLog log(nullptr, 5, 100);
    log.write(QtInfoMsg, "page console", QStringLiteral("chatter"), quietPages());
    log.write(QtWarningMsg, "page console", QStringLiteral("warning"), quietPages());
    qInstallMessageHandler(passOn);
    QCOMPARE(logged.size(), 1);
    QVERIFY(logged.first().startsWith(QStringLiteral("%1 test.pages [Tradory] page console").arg(int(QtWarningMsg))));
}

QTEST_GUILESS_MAIN(PageLimitsTest)
#include "tst_pagelimits.moc"
