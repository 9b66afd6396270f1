#include "OperationServices.h"

#include <QtTest>

class ElapsedTimeTest : public QObject {
    Q_OBJECT
private slots:
    void text_data();
    void text();
};

void ElapsedTimeTest::text_data() {
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("expected");
    auto at = [](qint64 h, qint64 m, qint64 s, qint64 ms) { return ((h * 60 + m) * 60 + s) * 1000 + ms; };
    QTest::newRow("zero") << at(0, 0, 0, 0) << "00:00:000";
    QTest::newRow("2 min 3.004 s") << at(0, 2, 3, 4) << "02:03:004";
    QTest::newRow("just below an hour") << at(0, 59, 59, 999) << "59:59:999";
    QTest::newRow("one hour") << at(1, 0, 0, 0) << "1:00:00:000";
    QTest::newRow("1 h 5 min 7.250 s") << at(1, 5, 7, 250) << "1:05:07:250";
    QTest::newRow("1 h 2 min 3.004 s") << at(1, 2, 3, 4) << "1:02:03:004";
    QTest::newRow("a day and more") << at(26, 0, 1, 10) << "26:00:01:010";
}

void ElapsedTimeTest::text() {
    QFETCH(qint64, ms);
    QFETCH(QString, expected);
    QCOMPARE(console::elapsedText(ms), expected);
}

QTEST_GUILESS_MAIN(ElapsedTimeTest)
#include "test_elapsed_time.moc"
