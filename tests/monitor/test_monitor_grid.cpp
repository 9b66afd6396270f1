// The monitor's log grid and refresh tick against the test server.

#include "MonitorHarness.h"
#include "Startup.h"
#include "TestDb.h"

#include <QHeaderView>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

using monitortest::Monitor;
using testdb::TestDatabase;

namespace {

const QString kBareSchemaLog = QStringLiteral(
    "create table EURO_LOG (LOG_ID integer not null primary key, LOG_MSG varchar(4000), LOG_TS timestamp)");

QString insertLine(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("insert into EURO_LOG (LOG_MSG) values ('%1')").arg(quoted);
}

// Words of Bulgarian text, `length` characters long.
QString words(int length, int seed = 0) {
    static const QStringList kWords = {QStringLiteral("превалутиране"),
                                       QStringLiteral("сума"),
                                       QStringLiteral("фактура"),
                                       QStringLiteral("таблица"),
                                       QStringLiteral("лева"),
                                       QStringLiteral("евро"),
                                       QStringLiteral("ред")};
    QString text;
    for (int i = seed; text.size() < length; ++i)
        text += kWords[i % kWords.size()] + QLatin1Char(' ');
    return text.left(length);
}

} // namespace

class MonitorGridTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void emptyLogShowsHeadersAndZero();
    void newestFirstBeforeTheFirstTick();
    void committedLinesAppearAtTheNextTickUncommittedNever();
    void emptiedTableEmptiesTheGrid();
    void textWithNoPlaceInWin1251_data();
    void textWithNoPlaceInWin1251();
    void longMessageWrappedWholeOnlyVisibleRowsMeasured();
    void sortByHeaderSurvivesRefresh();
    void filterSurvivesRefresh();
    void gridIsReadOnly();
    void columnsShareTheWidth_data();
    void columnsShareTheWidth();
    void startupFailures_data();
    void startupFailures();
};

void MonitorGridTest::initTestCase() {
    app::applyProcessSettings(QStringLiteral("Vantrel"));
}

void MonitorGridTest::emptyLogShowsHeadersAndZero() {
    TestDatabase db(QStringLiteral("monitor_empty"));
    db.createNotarySchema();
    Monitor m(db.connectionName());
    QVERIFY(m.window.DM);
    QVERIFY(m.window.bConnected2DB);

    // What the window is made of, by the names the rest of the program and the tests use.
    auto* grid = m.window.findChild<QWidget*>(QStringLiteral("cxGrid1"));
    QVERIFY(grid);
    QVERIFY(grid->findChild<QObject*>(QStringLiteral("cxGrid1Level1")));
    auto* view = grid->findChild<QTableView*>(QStringLiteral("cxGrid1DBTableView1"));
    QVERIFY(view);
    auto* timer = m.window.findChild<QTimer*>(QStringLiteral("\u0430Timer"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2000);
    const QList<std::tuple<QString, QString, int>> columns = {
        {QStringLiteral("cxGrid1DBTableView1LOG_ID"), QStringLiteral("LOG_ID"), 50},
        {QStringLiteral("cxGrid1DBTableView1LOG_MSG"), QStringLiteral("LOG_MSG"), 500},
        {QStringLiteral("cxGrid1DBTableView1LOG_TS"), QStringLiteral("LOG_TS"), 100}};
    for (int i = 0; i < columns.size(); ++i) {
        const auto& [name, field, width] = columns[i];
        auto* column = view->findChild<QObject*>(name);
        QVERIFY2(column, qPrintable(name));
        QCOMPARE(column->property("fieldName").toString(), field);
        QCOMPARE(column->property("designWidth").toInt(), width);
        QCOMPARE(view->model()->headerData(i, Qt::Horizontal).toString(), field);
    }
    QCOMPARE(view->horizontalHeader()->sortIndicatorSection(), 0);
    QCOMPARE(view->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    QCOMPARE(m.rows(), 0);
    QCOMPARE(m.footer(), QStringLiteral("0"));
    m.tick();
    QCOMPARE(m.rows(), 0);
    QCOMPARE(m.footer(), QStringLiteral("0"));
    QVERIFY(m.boxes.shown.isEmpty());
}

void MonitorGridTest::newestFirstBeforeTheFirstTick() {
    TestDatabase db(QStringLiteral("monitor_startup"));
    db.createNotarySchema();
    // Inserted out of key order, so the table's natural order is neither ascending nor descending.
    db.exec({QStringLiteral("insert into EURO_LOG values (2, 'втори', '2026-03-01 10:00:02')"),
             QStringLiteral("insert into EURO_LOG values (1, 'първи', '2026-03-01 10:00:01')"),
             QStringLiteral("insert into EURO_LOG values (3, 'трети', '2026-03-01 10:00:03')")});
    Monitor m(db.connectionName());
    QCOMPARE(m.ids(), (QList<qint64>{3, 2, 1}));
    QCOMPARE(m.footer(), QStringLiteral("3"));
    QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), QStringLiteral("трети"));
    QCOMPARE(m.grid().text(0, QStringLiteral("LOG_TS")), QStringLiteral("01.03.2026 10:00:03"));
    // The current row is the dataset's current record (its first row), wherever it is shown.
    const int current = m.grid().view()->currentIndex().row();
    QVERIFY(current >= 0);
    QCOMPARE(m.grid().text(current, QStringLiteral("LOG_ID")).toInt(),
             m.window.DM->IBEuroLog.FieldByName(QStringLiteral("LOG_ID")).asInteger());

    m.tick();
    QCOMPARE(m.ids(), (QList<qint64>{3, 2, 1}));
    QCOMPARE(m.grid().view()->currentIndex().row(), 0);
}

void MonitorGridTest::committedLinesAppearAtTheNextTickUncommittedNever() {
    TestDatabase db(QStringLiteral("monitor_commit"));
    db.createNotarySchema();
    db.exec(insertLine(QStringLiteral("начало")));
    Monitor m(db.connectionName());
    QCOMPARE(m.rows(), 1);
    // The monitor's transaction as the server knows it: a tick must neither end nor restart it.
    const QString monitorTransactions =
        QStringLiteral("select cast(list(MON$TRANSACTION_ID) as varchar(200)) from MON$TRANSACTIONS "
                       "where MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
    const QString transactionBefore = db.queryString(monitorTransactions);
    QVERIFY2(transactionBefore.toLongLong() > 0, qPrintable(transactionBefore));

    db.exec(insertLine(QStringLiteral("потвърден ред")));
    QCOMPARE(m.rows(), 1); // nothing moves between ticks
    m.tick();
    QCOMPARE(m.rows(), 2);
    QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), QStringLiteral("потвърден ред"));
    QCOMPARE(m.grid().view()->currentIndex().row(), 0);

    {
        // Another program's line that is written but not committed yet.
        auto writer = db.attach();
        fb::Transaction pending(*writer, QByteArray("\x03\x09\x07\x0f\x11", 5));
        fb::Statement insert(pending, insertLine(QStringLiteral("непотвърден ред")));
        insert.execute(pending);
        m.tick();
        QCOMPARE(m.rows(), 2);
        QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), QStringLiteral("потвърден ред"));
        pending.commit();
    }
    m.tick();
    QCOMPARE(m.rows(), 3);
    QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), QStringLiteral("непотвърден ред"));
    QCOMPARE(m.footer(), QStringLiteral("3"));
    QCOMPARE(db.queryString(monitorTransactions), transactionBefore);
    QVERIFY(m.boxes.shown.isEmpty());
}

void MonitorGridTest::emptiedTableEmptiesTheGrid() {
    TestDatabase db(QStringLiteral("monitor_emptied"));
    db.createNotarySchema();
    db.exec({insertLine(QStringLiteral("едно")), insertLine(QStringLiteral("две"))});
    Monitor m(db.connectionName());
    QCOMPARE(m.rows(), 2);
    db.exec(QStringLiteral("delete from EURO_LOG"));
    m.tick();
    QCOMPARE(m.rows(), 0);
    QCOMPARE(m.footer(), QStringLiteral("0"));
}

void MonitorGridTest::textWithNoPlaceInWin1251_data() {
    QTest::addColumn<QString>("charset");
    QTest::addColumn<bool>("shown");
    // The programs' WIN1251 column refuses such text at the writer, so it reaches the log only
    // through a column of another character set. NONE (older databases) hands the writer's
    // UTF-8 bytes over as they are: shown, odd bytes as the replacement mark.
    QTest::newRow("NONE") << QStringLiteral("NONE") << true;
    // UTF8: the server refuses to send the line to a WIN1251 connection at all; the refresh
    // fails quietly, and the grid is back once the line is gone.
    QTest::newRow("UTF8") << QStringLiteral("UTF8") << false;
}

void MonitorGridTest::textWithNoPlaceInWin1251() {
    QFETCH(QString, charset);
    QFETCH(bool, shown);
    TestDatabase db(QStringLiteral("monitor_charset_") + charset);
    db.exec({QStringLiteral("create table FIRMA (ID integer, NAME varchar(100), GRAD varchar(50))"),
             QStringLiteral("insert into FIRMA values (4711, 'Нотариус', 'Пловдив')"),
             QStringLiteral("create table EURO_LOG (LOG_ID integer not null primary key, "
                            "LOG_MSG varchar(4000) character set %1, LOG_TS timestamp)")
                 .arg(charset),
             QStringLiteral("insert into EURO_LOG values (1, 'ред', current_timestamp)")});
    Monitor m(db.connectionName());
    QCOMPARE(m.rows(), 1);
    const QString text = QStringLiteral("Грешка 😀 日本");
    monitortest::execOn(
        db.connectionName(),
        {QStringLiteral("insert into EURO_LOG values (2, '%1', current_timestamp)").arg(text)},
        QStringLiteral("UTF8"));
    m.tick();
    if (shown) {
        QCOMPARE(m.ids(), (QList<qint64>{2, 1}));
        QString expected = QStringDecoder("windows-1251").decode(text.toUtf8());
        expected.replace(QChar(0x98), QChar::ReplacementCharacter);
        QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), expected);
        QVERIFY(expected.contains(QChar::ReplacementCharacter));
    } else {
        QCOMPARE(m.rows(), 0);
        db.exec(QStringLiteral("delete from EURO_LOG where LOG_ID = 2"));
        m.tick();
        QCOMPARE(m.ids(), QList<qint64>{1});
    }
    m.grid().view()->viewport()->repaint(); // drawing it must not fail either
    QVERIFY(m.boxes.shown.isEmpty());
}

void MonitorGridTest::longMessageWrappedWholeOnlyVisibleRowsMeasured() {
    TestDatabase db(QStringLiteral("monitor_long"));
    db.createNotarySchema();
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << insertLine(words(180, i));
    const QString longText = words(4000);
    lines << insertLine(longText);
    db.exec(lines);
    Monitor m(db.connectionName());
    m.window.showNormal();
    m.window.resize(900, 700);
    m.settle();
    m.tick();
    m.settle();

    QTableView* view = m.grid().view();
    auto hint = [view](int row) { return static_cast<QAbstractItemView*>(view)->sizeHintForRow(row); };
    QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), longText);
    const int oneLine = view->verticalHeader()->defaultSectionSize();
    // The whole message wrapped into the LOG_MSG column's width.
    const QRect needed = view->fontMetrics().boundingRect(QRect(0, 0, view->columnWidth(1) - 8, 100000),
                                                          Qt::TextWordWrap, longText);
    QVERIFY2(view->rowHeight(0) >= needed.height(),
             qPrintable(QStringLiteral("%1 < %2").arg(view->rowHeight(0)).arg(needed.height())));
    QVERIFY(view->rowHeight(0) > 10 * oneLine);
    // A row on screen is as tall as its cells need; rows far below were left alone.
    const int onScreen =
        view->rowAt(view->viewport()->height() - 1) >= 0 ? view->rowAt(view->viewport()->height() - 1) : 1;
    QCOMPARE(view->rowHeight(onScreen), std::max(oneLine, hint(onScreen)));
    QVERIFY(hint(250) > oneLine);
    QCOMPARE(view->rowHeight(250), oneLine);

    // Scrolling there measures them.
    view->scrollTo(view->model()->index(250, 1), QAbstractItemView::PositionAtTop);
    m.settle();
    QCOMPARE(view->rowHeight(250), hint(250));
}

void MonitorGridTest::sortByHeaderSurvivesRefresh() {
    TestDatabase db(QStringLiteral("monitor_sort"));
    db.createNotarySchema();
    db.exec({insertLine(QStringLiteral("в ред")), insertLine(QStringLiteral("а ред")),
             insertLine(QStringLiteral("г ред"))});
    Monitor m(db.connectionName());
    QHeaderView* header = m.grid().view()->horizontalHeader();
    const QPoint msgHeader(header->sectionViewportPosition(1) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, msgHeader);
    QCOMPARE(header->sortIndicatorSection(), 1);
    auto messages = [&] {
        QStringList texts;
        for (int row = 0; row < m.rows(); ++row)
            texts << m.grid().text(row, QStringLiteral("LOG_MSG"));
        return texts;
    };
    const QStringList ascending = {QStringLiteral("а ред"), QStringLiteral("в ред"), QStringLiteral("г ред")};
    QCOMPARE(messages(), ascending);
    QCOMPARE(m.grid().view()->currentIndex().row(), 0); // the top row after a new sort

    db.exec(insertLine(QStringLiteral("б ред")));
    m.tick();
    QCOMPARE(messages(), (QStringList{QStringLiteral("а ред"), QStringLiteral("б ред"),
                                      QStringLiteral("в ред"), QStringLiteral("г ред")}));
    QCOMPARE(m.footer(), QStringLiteral("4"));
    // Still on the newest line, wherever this order puts it.
    QCOMPARE(m.grid().view()->currentIndex().row(), 1);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, msgHeader);
    m.tick();
    QCOMPARE(messages().first(), QStringLiteral("г ред"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

void MonitorGridTest::filterSurvivesRefresh() {
    TestDatabase db(QStringLiteral("monitor_filter"));
    db.createNotarySchema();
    db.exec({insertLine(QStringLiteral("Таблица INVOICES: начало")),
             insertLine(QStringLiteral("Тригер изключен")),
             insertLine(QStringLiteral("таблица PAYMENTS: начало"))});
    Monitor m(db.connectionName());
    // As the operator types it (keyClicks cannot type Cyrillic).
    for (const QChar c : QStringLiteral("ТАБЛИЦА"))
        QTest::sendKeyEvent(QTest::Click, m.grid().filterEdit(), Qt::Key(c.unicode()), QString(c),
                            Qt::NoModifier);
    QCOMPARE(m.ids(), (QList<qint64>{3, 1}));
    QCOMPARE(m.footer(), QStringLiteral("2"));

    db.exec({insertLine(QStringLiteral("Таблица FEES: край")), insertLine(QStringLiteral("Готово"))});
    m.tick();
    QCOMPARE(m.ids(), (QList<qint64>{4, 3, 1}));
    QCOMPARE(m.footer(), QStringLiteral("3"));

    m.grid().filterEdit()->clear();
    QCOMPARE(m.rows(), 5);
    QCOMPARE(m.footer(), QStringLiteral("5"));
}

void MonitorGridTest::gridIsReadOnly() {
    TestDatabase db(QStringLiteral("monitor_readonly"));
    db.createNotarySchema();
    db.exec({insertLine(QStringLiteral("едно")), insertLine(QStringLiteral("две"))});
    Monitor m(db.connectionName());
    QTableView* view = m.grid().view();
    QAbstractItemModel* model = view->model();
    const QModelIndex cell = model->index(0, 1);

    view->setFocus();
    view->setCurrentIndex(cell);
    QTest::keyClick(view, Qt::Key_F2);
    QTest::keyClicks(view, QStringLiteral("x"));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_Insert);
    QVERIFY(view->viewport()->findChildren<QWidget*>().isEmpty()); // no editor opened
    QVERIFY(!(model->flags(cell) & Qt::ItemIsEditable));
    QVERIFY(!model->setData(cell, QStringLiteral("x")));
    QVERIFY(!model->insertRows(0, 1));
    QVERIFY(!model->removeRows(0, 1));
    QCOMPARE(m.rows(), 2);
    QCOMPARE(m.grid().text(0, QStringLiteral("LOG_MSG")), QStringLiteral("две"));
    m.tick();
    QCOMPARE(db.queryInt(QStringLiteral("select count(*) from EURO_LOG")), 2);
    QCOMPARE(db.queryString(QStringLiteral("select LOG_MSG from EURO_LOG where LOG_ID = 2")),
             QStringLiteral("две"));
}

void MonitorGridTest::columnsShareTheWidth_data() {
    QTest::addColumn<int>("windowWidth");
    QTest::newRow("design") << 660;
    QTest::newRow("wide") << 1240;
    QTest::newRow("narrow") << 330;
}

void MonitorGridTest::columnsShareTheWidth() {
    QFETCH(int, windowWidth);
    TestDatabase db(QStringLiteral("monitor_widths_%1").arg(windowWidth));
    db.createNotarySchema();
    QStringList lines;
    for (int i = 0; i < 80; ++i)
        lines << insertLine(words(120, i)); // enough for a vertical scroll bar
    db.exec(lines);
    Monitor m(db.connectionName());
    m.window.showNormal();
    m.window.resize(windowWidth, 500);
    m.settle();

    QTableView* view = m.grid().view();
    const int available = view->viewport()->width();
    const int widths[] = {view->columnWidth(0), view->columnWidth(1), view->columnWidth(2)};
    QCOMPARE(widths[0] + widths[1] + widths[2], available);
    const double designs[] = {50, 500, 100};
    for (int i = 0; i < 3; ++i)
        QVERIFY2(std::abs(widths[i] - available * designs[i] / 650.0) <= 2.0,
                 qPrintable(QStringLiteral("column %1: %2 of %3").arg(i).arg(widths[i]).arg(available)));
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);

    // The operator widens LOG_ID; its neighbour gives up the room and the total stays put,
    // also when the window changes afterwards.
    view->horizontalHeader()->resizeSection(0, widths[0] + 40);
    QCOMPARE(view->columnWidth(0) + view->columnWidth(1) + view->columnWidth(2), available);
    QCOMPARE(view->columnWidth(2), widths[2]);
    m.window.resize(windowWidth + 200, 500);
    m.settle();
    QCOMPARE(view->columnWidth(0) + view->columnWidth(1) + view->columnWidth(2), view->viewport()->width());
    QVERIFY(view->columnWidth(0) > widths[0] + 40);
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
}

void MonitorGridTest::startupFailures_data() {
    QTest::addColumn<QStringList>("schema");
    QTest::addColumn<bool>("dataModule");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("panel2");
    QTest::addColumn<int>("rowsAtStart");

    const QString firma =
        QStringLiteral("create table FIRMA (ID integer, NAME varchar(100), GRAD varchar(50))");
    const QString firmRow = QStringLiteral("insert into FIRMA values (4711, 'Нотариус', 'Пловдив')");
    const QString line = QStringLiteral("insert into EURO_LOG values (1, 'ред', current_timestamp)");
    // The log cannot be opened: the data module is gone though the connection step had run.
    QTest::newRow("no EURO_LOG") << QStringList{firma, firmRow} << false << true
                                 << QStringLiteral("Vantrel,  Рег.№ 4711")
                                 << QStringLiteral("Not Connected to DB") << 0;
    // The firm row cannot be read: the log shows as it was at start-up and is never refreshed.
    QTest::newRow("no FIRMA") << QStringList{kBareSchemaLog, line} << true << false
                              << QStringLiteral("Vantrel") << QString() << 1;
}

void MonitorGridTest::startupFailures() {
    QFETCH(QStringList, schema);
    QFETCH(bool, dataModule);
    QFETCH(bool, connected);
    QFETCH(QString, caption);
    QFETCH(QString, panel2);
    QFETCH(int, rowsAtStart);
    TestDatabase db(QStringLiteral("monitor_startup_failure_%1").arg(int(dataModule)));
    db.exec(schema);
    Monitor m(db.connectionName());
    QCOMPARE(bool(m.window.DM), dataModule);
    QCOMPARE(m.window.bConnected2DB, connected);
    QCOMPARE(m.window.windowTitle(), caption);
    QCOMPARE(m.window.statusText(2), panel2);
    QCOMPARE(m.rows(), rowsAtStart);
    QCOMPARE(m.grid().view()->model()->columnCount(), 3);

    if (!dataModule)
        db.exec(
            {kBareSchemaLog, QStringLiteral("insert into EURO_LOG values (1, 'ред', current_timestamp)")});
    db.exec(QStringLiteral("insert into EURO_LOG values (2, 'нов ред', current_timestamp)"));
    m.tick();
    m.tick();
    QCOMPARE(m.rows(), rowsAtStart);
    QVERIFY(m.boxes.shown.isEmpty());
}

QTEST_MAIN(MonitorGridTest)
#include "test_monitor_grid.moc"
