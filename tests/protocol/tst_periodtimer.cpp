#include "periodtimer.h"

#include <QSignalSpy>
#include <QTest>

using namespace blinds;

class TestPeriodTimer : public QObject
{
    Q_OBJECT
private slots:
    void periodRules();
    void samePeriodDoesNotRestart();
};

void TestPeriodTimer::periodRules()
{
    PeriodTimer timer;
    QVERIFY(!timer.isActive());
    timer.setPeriod(-5);
    QCOMPARE(timer.period(), 0);
    QVERIFY(!timer.isActive());
    timer.setPeriod(20);
    QVERIFY(timer.isActive());
    QSignalSpy ticks(&timer, &PeriodTimer::tick);
    QVERIFY(ticks.wait(1000));
    timer.setPeriod(0);
    QVERIFY(!timer.isActive());
}

void TestPeriodTimer::samePeriodDoesNotRestart()
{
    PeriodTimer timer;
    timer.setPeriod(500);
    QTest::qWait(100);
    const int before = timer.remainingTime();
    timer.setPeriod(500);
    QVERIFY(timer.remainingTime() <= before);
    QVERIFY(before < 500);
}

QTEST_GUILESS_MAIN(TestPeriodTimer)
#include "tst_periodtimer.moc"
