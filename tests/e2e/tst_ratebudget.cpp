// The budget that bounds what pages can make the program do.
#include "pagelog.h"
#include "ratebudget.h"

#include <QtTest>

class RateBudgetTest : public QObject
{
    Q_OBJECT

private slots:
    void burstThenOneEachInterval();
    void idleTimeFillsNoMoreThanTheBurst();
    void timeShortOfAWholeTokenCounts();
    void refusalsAreCountedUntilTheNextGrant();
    void clockGoingBackDoesNotStopTheRefill();
    void longTextsAreShortenedAndSaySo();
};

void RateBudgetTest::burstThenOneEachInterval()
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

void RateBudgetTest::idleTimeFillsNoMoreThanTheBurst()
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
}

void RateBudgetTest::timeShortOfAWholeTokenCounts()
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

void RateBudgetTest::refusalsAreCountedUntilTheNextGrant()
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

void RateBudgetTest::clockGoingBackDoesNotStopTheRefill()
{
    RateBudget budget(1, 100);
    QVERIFY(budget.takeAt(5000));
    QVERIFY(!budget.takeAt(1000));
    QVERIFY(budget.takeAt(1100));
}

void RateBudgetTest::longTextsAreShortenedAndSaySo()
{
    QCOMPARE(PageLog::shortened(QStringLiteral("short"), 10), QStringLiteral("short"));
    const QString cut = PageLog::shortened(QString(100000, QLatin1Char('x')), 500);
    QVERIFY(cut.startsWith(QString(500, QLatin1Char('x')) + QStringLiteral("...")));
    QVERIFY(cut.endsWith(QStringLiteral("(100000 characters)")));
    QVERIFY(cut.size() < 600);
}

QTEST_GUILESS_MAIN(RateBudgetTest)
#include "tst_ratebudget.moc"
