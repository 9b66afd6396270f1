// The four operations driven through the console's real window and menu, against the test
// server: the exact texts, the cursor, the items' state and the template stage.

#include "ConsoleParts.h"
#include "ConsoleTestSupport.h"
#include "MainWindow.h"
#include "Startup.h"
#include "TestDb.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <memory>

using namespace consoletest;
using testdb::TestDatabase;

namespace {

const QStringList kTemplates{QStringLiteral("BILLBEFORE"), QStringLiteral("INVOICE"),
                             QStringLiteral("IORDER"), QStringLiteral("EORDER")};
const QString kConfirmTail =
    QStringLiteral("\rИзпълнява се след 01.01.2026.\rНаправихте ли АРХИВ?\r\rПотвърдете внимателно");
const QString kNotice = QStringLiteral("Свържете се с ЗЕЛТРОН за нулиране на данните");

// The console as the program builds it, with boxes, cursor and stopwatch that record.
struct Console {
    RecordingBoxes boxes;
    RecordingCursor cursor;
    FixedStopwatch stopwatch{123004}; // 2 min 3.004 s
    app::TMainF window;
    console::ConsoleParts parts;
    QStringList cursorAtBoxes; // "wait" / "default" as each box came up

    explicit Console(const QString& databaseName)
        : window(app::ProgramInfo{QStringLiteral("Corvane"), QStringLiteral("2.26.1.6"),
                                  fb::ProgramKind::Console},
                 boxes) {
        parts.cursor = &cursor;
        parts.stopwatch = &stopwatch;
        parts.formCreated(window);
        app::createAndConnect(window, parts, testdb::settingsFor(databaseName));
        boxes.onBox = [this](const Box&) {
            cursorAtBoxes.append(QApplication::overrideCursor() ? QStringLiteral("wait")
                                                                : QStringLiteral("default"));
        };
    }
    QAction* item(const QString& name) const { return window.findChild<QAction*>(name); }
    // "eu": enabled, unticked; "dt": disabled, ticked; and so on.
    QString state(const QString& name) const {
        const QAction* a = item(name);
        return QString(a->isEnabled() ? QLatin1Char('e') : QLatin1Char('d')) +
               (a->isChecked() ? QLatin1Char('t') : QLatin1Char('u'));
    }
};

QString handlerOf(const QString& item) {
    return item == QLatin1String("N1")    ? QStringLiteral("EURO_READINESS")
           : item == QLatin1String("N31") ? QStringLiteral("EURO_TROUBLESHOOTER")
                                          : QStringLiteral("EURO_CONVERSION");
}

QString callOf(const QString& item) {
    if (item == QLatin1String("N1"))
        return QStringLiteral("select RESULT from EURO_READINESS(1, 1)");
    if (item == QLatin1String("N4"))
        return QStringLiteral("select ARESULT from EURO_CONVERSION('EUR', 1)");
    if (item == QLatin1String("N5"))
        return QStringLiteral("select ARESULT from EURO_CONVERSION('EUR', 0)");
    return QStringLiteral("select ARESULT from EURO_TROUBLESHOOTER");
}

QStringList kinds(const RecordingBoxes& boxes) {
    QStringList list;
    for (const Box& box : boxes.boxes)
        list.append(box.kind == BoxKind::Confirm       ? QStringLiteral("confirm")
                    : box.kind == BoxKind::Information ? QStringLiteral("information")
                                                       : QStringLiteral("plain"));
    return list;
}

} // namespace

class ConsoleOperationsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuAsDesigned();
    void success_data();
    void success();
    void procedureFailure_data();
    void procedureFailure();
    void answeredNo_data();
    void answeredNo();
    void checkShowsTheCorrections_data();
    void checkShowsTheCorrections();
    void templateStage_data();
    void templateStage();
    void failedPreparationCanBeRunAgain();
    void realElapsedTimeAndMouseClick();
    void serverStoppedBeforeOperations();

private:
    QStringList calls() const;
    QString stored(const QString& id) const { return QString::fromUtf8(storedTemplate(*db_, id)); }
    QStringList replaced() const;

    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString startFolder_;
};

void ConsoleOperationsTest::initTestCase() {
    startFolder_ = QDir::currentPath();
    db_ = std::make_unique<TestDatabase>(QStringLiteral("console_operations"));
    db_->createNotarySchema();
    installProcedures(*db_);
}

void ConsoleOperationsTest::init() {
    QStringList reset{QStringLiteral("delete from TEST_CONTROL"), QStringLiteral("delete from TEST_CALLS"),
                      QStringLiteral("delete from TEST_EFFECTS"),
                      QStringLiteral("delete from TEST_LOCKED_REPORTS")};
    for (const QString& name : kTemplates)
        reset.append(QStringLiteral("update REPORTS set DESCR = 'old' where ID = '%1'").arg(name));
    db_->exec(reset);
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    for (const QString& name : kTemplates)
        writeFile(dir_->filePath(name + QStringLiteral(".fr3")), "new " + name.toLatin1());
    QVERIFY(QDir::setCurrent(dir_->path()));
}

void ConsoleOperationsTest::cleanup() {
    QDir::setCurrent(startFolder_);
    QVERIFY(!QApplication::overrideCursor());
}

QStringList ConsoleOperationsTest::calls() const {
    QStringList list;
    const qint64 n = db_->queryInt(QStringLiteral("select count(*) from TEST_CALLS"));
    for (qint64 i = 0; i < n; ++i)
        list.append(db_->queryString(
            QStringLiteral("select PROC || '(' || coalesce(ARGS, '?') || ')' from TEST_CALLS order by N "
                           "offset %1 rows fetch next 1 row only")
                .arg(i)));
    return list;
}

QStringList ConsoleOperationsTest::replaced() const {
    QStringList list;
    for (const QString& name : kTemplates)
        if (stored(name) == QStringLiteral("new ") + name)
            list.append(name);
    return list;
}

void ConsoleOperationsTest::menuAsDesigned() {
    Console c(db_->connectionName());
    QVERIFY(c.window.bConnected2DB);
    QVERIFY(c.parts.N8->menuAction()->isVisible());
    QCOMPARE(c.parts.N8->title(), QStringLiteral("Обработки"));
    const QList<QAction*> actions = c.parts.N8->actions();
    QStringList names, captions;
    for (QAction* a : actions) {
        names.append(a->objectName());
        captions.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        if (a->isSeparator())
            continue;
        QVERIFY(a->isEnabled());
        QVERIFY(a->isCheckable());
        QVERIFY(!a->isChecked());
        QVERIFY(a->shortcut().isEmpty());
        QVERIFY(a->icon().isNull());
    }
    QCOMPARE(names, (QStringList{"N1", "N3", "N4", "N5", "N7", "N31"}));
    QCOMPARE(captions, (QStringList{QStringLiteral("1. <Подготовка за въвеждане на Еврото>"), "-",
                                    QStringLiteral("2.1. <Преминаване към Еврото> - превалутиране"),
                                    QStringLiteral("2.2. <Преминаване към Еврото> - нова БД"), "-",
                                    QStringLiteral("3. <Проверка на данните> след преминаване към Евро")}));
    const QList<QAction*> bar = c.window.menuBar()->actions();
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar.at(0), c.parts.N8->menuAction());
    QCOMPARE(bar.at(1)->objectName(), QStringLiteral("N2"));
    QCOMPARE(bar.at(1)->text(), QStringLiteral("&Изход"));
}

void ConsoleOperationsTest::success_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("states"); // of the item as each box came up
    QTest::addColumn<QString>("stateAfter");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QStringList>("templates");
    const QString p1 = QStringLiteral("<Преминаване към Еврото> - превалутиране.");
    const QString p2 = QStringLiteral("<Преминаване към Еврото> - нова БД.");
    QTest::newRow("1") << "N1"
                       << QStringList{QStringLiteral(
                              "Актуализацията <ПОДГОТОВКА ЗА ЕВРО> премина УСПЕШНО за 02:03:004")}
                       << QStringList{"eu"} << "dt"
                       << "EURO_READINESS(1,1)" << kTemplates;
    QTest::newRow("2.1") << "N4"
                         << QStringList{p1 + kConfirmTail,
                                        QStringLiteral(
                                            "<Преминаване към Еврото> премина УСПЕШНО за 02:03:004")}
                         << QStringList{"eu", "eu"} << "dt"
                         << "EURO_CONVERSION(EUR,1)" << QStringList{};
    // The notice comes after the success message and after the item has been ticked.
    QTest::newRow("2.2") << "N5"
                         << QStringList{p2 + kConfirmTail,
                                        QStringLiteral(
                                            "<Преминаване към Еврото> премина УСПЕШНО за 02:03:004"),
                                        kNotice}
                         << QStringList{"eu", "eu", "dt"} << "dt"
                         << "EURO_CONVERSION(EUR,0)" << QStringList{};
    QTest::newRow("3")
        << "N31"
        << QStringList{QStringLiteral(
               "<Проверка на данните> премина УСПЕШНО за 02:03:004\rКорекции: отговор на процедурата")}
        << QStringList{"eu"} << "eu"
        << "EURO_TROUBLESHOOTER()" << QStringList{QStringLiteral("IORDER"), QStringLiteral("EORDER")};
}

void ConsoleOperationsTest::success() {
    QFETCH(QString, item);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, states);
    QFETCH(QString, stateAfter);
    QFETCH(QString, call);
    QFETCH(QStringList, templates);
    setMode(*db_, handlerOf(item), QStringLiteral("ok"), QStringLiteral("отговор на процедурата"));

    Console c(db_->connectionName());
    QStringList statesAtBoxes;
    c.boxes.onBox = [&](const Box&) {
        statesAtBoxes.append(c.state(item));
        QVERIFY(!QApplication::overrideCursor());
    };
    c.item(item)->trigger();

    QCOMPARE(c.boxes.texts(), texts);
    const bool asks = item == QLatin1String("N4") || item == QLatin1String("N5");
    QStringList expectedKinds{QStringLiteral("information")};
    if (asks)
        expectedKinds.prepend(QStringLiteral("confirm"));
    if (item == QLatin1String("N5"))
        expectedKinds.append(QStringLiteral("plain"));
    QCOMPARE(kinds(c.boxes), expectedKinds);
    QCOMPARE(statesAtBoxes, states);
    QCOMPARE(c.state(item), stateAfter);
    QCOMPARE(calls(), QStringList{call});
    // Committed: another connection sees what the procedure did.
    QCOMPARE(db_->queryString(QStringLiteral("select cast(list(PROC) as varchar(200)) from TEST_EFFECTS")),
             handlerOf(item));
    QCOMPARE(replaced(), templates);
    QCOMPARE(QFileInfo(dir_->filePath(QStringLiteral("Backup"))).isDir(), !templates.isEmpty());
    QCOMPARE(c.cursor.sets, 1);
    QCOMPARE(c.cursor.restores, 1);
    QCOMPARE(c.stopwatch.starts, 1);
    // The other items are untouched.
    for (const char* other : {"N1", "N4", "N5", "N31"})
        if (item != QLatin1String(other))
            QCOMPARE(c.state(QString::fromLatin1(other)), QStringLiteral("eu"));
}

void ConsoleOperationsTest::procedureFailure_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("prefix"); // the server's text follows
    QTest::addColumn<QStringList>("templates");
    QTest::newRow("1: same line") << "N1" << QStringLiteral("Грешка при изпълнение на EURO_READINESS: ")
                                  << kTemplates;
    QTest::newRow("2.1: next line") << "N4" << QStringLiteral("Грешка при изпълнение на EURO_CONVERSION: \r")
                                    << QStringList{};
    QTest::newRow("2.2: next line") << "N5" << QStringLiteral("Грешка при изпълнение на EURO_CONVERSION: \r")
                                    << QStringList{};
    QTest::newRow("3: next line") << "N31"
                                  << QStringLiteral("Грешка при изпълнение на EURO_TROUBLESHOOTER: \r")
                                  << QStringList{QStringLiteral("IORDER"), QStringLiteral("EORDER")};
}

void ConsoleOperationsTest::procedureFailure() {
    QFETCH(QString, item);
    QFETCH(QString, prefix);
    QFETCH(QStringList, templates);
    setMode(*db_, handlerOf(item), QStringLiteral("fail"), QStringLiteral("Липсва курс за валута „EUR“"));

    Console c(db_->connectionName());
    c.item(item)->trigger();

    const QString serverText = serverError(*db_, callOf(item));
    QVERIFY(serverText.contains(QStringLiteral("Липсва курс за валута „EUR“")));
    const int first = c.boxes.boxes.first().kind == BoxKind::Confirm ? 1 : 0;
    QCOMPARE(c.boxes.texts().mid(first), QStringList{prefix + serverText});
    QCOMPARE(c.boxes.boxes.at(first).kind, BoxKind::Plain);
    QVERIFY(!c.cursorAtBoxes.contains(QStringLiteral("wait")));
    QCOMPARE(c.cursor.sets, 1);
    QCOMPARE(c.cursor.restores, 1);
    // Still offered; the template stage of 1 and 3 has run all the same, but 1 is not ticked.
    QCOMPARE(c.state(item), QStringLiteral("eu"));
    QCOMPARE(replaced(), templates);
    QCOMPARE(db_->queryInt(QStringLiteral("select count(*) from TEST_EFFECTS")), 0);
    QVERIFY(c.window.DM->IBT.Active());
}

void ConsoleOperationsTest::answeredNo_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("question");
    QTest::newRow("2.1") << "N4"
                         << QStringLiteral("<Преминаване към Еврото> - превалутиране.") + kConfirmTail;
    QTest::newRow("2.2") << "N5" << QStringLiteral("<Преминаване към Еврото> - нова БД.") + kConfirmTail;
}

void ConsoleOperationsTest::answeredNo() {
    QFETCH(QString, item);
    QFETCH(QString, question);
    Console c(db_->connectionName());
    c.boxes.answers = {false};
    c.item(item)->trigger();
    QCOMPARE(c.boxes.texts(), QStringList{question});
    QCOMPARE(c.boxes.boxes.first().kind, BoxKind::Confirm);
    QCOMPARE(c.cursor.sets, 0);
    QCOMPARE(c.cursor.restores, 0);
    QCOMPARE(c.stopwatch.starts, 0);
    QCOMPARE(calls(), QStringList{});
    QCOMPARE(c.state(item), QStringLiteral("eu"));
}

void ConsoleOperationsTest::checkShowsTheCorrections_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("shown"); // after "Корекции: "
    QTest::newRow("text") << "ok" << QStringLiteral("Коригирани 3 записа; виж EURO_LOG")
                          << "Коригирани 3 записа; виж EURO_LOG";
    QTest::newRow("no row") << "norow" << QStringLiteral("не се показва") << "";
    QTest::newRow("NULL") << "null" << QString() << "";
}

void ConsoleOperationsTest::checkShowsTheCorrections() {
    QFETCH(QString, mode);
    QFETCH(QString, answer);
    QFETCH(QString, shown);
    setMode(*db_, QStringLiteral("EURO_TROUBLESHOOTER"), mode, answer);
    Console c(db_->connectionName());
    // Repeatable: every run succeeds the same way and replaces the templates again.
    for (int run = 0; run < 2; ++run)
        c.item(QStringLiteral("N31"))->trigger();
    const QString text =
        QStringLiteral("<Проверка на данните> премина УСПЕШНО за 02:03:004\rКорекции: ") + shown;
    QCOMPARE(c.boxes.texts(), (QStringList{text, text}));
    QCOMPARE(c.state(QStringLiteral("N31")), QStringLiteral("eu"));
    QCOMPARE(QDir(dir_->filePath(QStringLiteral("Backup"))).entryList(QDir::Files).size(), 4);
}

void ConsoleOperationsTest::templateStage_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("fault");
    // Of the template stage; empty: none. %1 the missing file, %2 the system's reason,
    // %3 the server's text, %4 the Backup folder.
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("replaced");
    QTest::addColumn<QString>("n1After");
    const QString file = QStringLiteral("Файлът %1 не може да бъде отворен: %2");
    QTest::newRow("1: all pass") << "N1"
                                 << ""
                                 << "" << kTemplates << "dt";
    QTest::newRow("1: BILLBEFORE missing")
        << "N1"
        << "missing BILLBEFORE" << QStringLiteral("НЕУСПЕШНО изпълнение\r") + file << QStringList{} << "eu";
    QTest::newRow("1: EORDER missing") << "N1"
                                       << "missing EORDER" << QStringLiteral("НЕУСПЕШНО изпълнение\r") + file
                                       << QStringList{"BILLBEFORE", "INVOICE", "IORDER"} << "eu";
    // A failed post is shown by the replacement itself; it is no raised failure.
    QTest::newRow("1: post of INVOICE fails")
        << "N1"
        << "locked INVOICE" << QStringLiteral("НЕУСПЕШНО изпълнение\r%3")
        << QStringList{"BILLBEFORE", "IORDER", "EORDER"} << "dt";
    QTest::newRow("1: Backup is a file")
        << "N1"
        << "Backup file"
        << QStringLiteral(
               "НЕУСПЕШНО изпълнение\rПапката за архивни копия %4 липсва и не може да бъде създадена")
        << QStringList{} << "eu";
    QTest::newRow("3: EORDER missing")
        << "N31"
        << "missing EORDER" << QStringLiteral("Грешка при изпълнение на LoadReport\r") + file
        << QStringList{"IORDER"} << "eu";
    QTest::newRow("3: Backup is a file")
        << "N31"
        << "Backup file"
        << QStringLiteral(
               "Грешка при изпълнение на LoadReport\rПапката за архивни копия %4 липсва и не може да бъде "
               "създадена")
        << QStringList{} << "eu";
}

void ConsoleOperationsTest::templateStage() {
    QFETCH(QString, item);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(QStringList, replaced);
    QFETCH(QString, n1After);
    QString missingPath, serverText;
    if (fault.startsWith(QLatin1String("missing "))) {
        missingPath = dir_->filePath(fault.mid(8) + QStringLiteral(".fr3"));
        QVERIFY(QFile::remove(missingPath));
    } else if (fault == QLatin1String("locked INVOICE")) {
        db_->exec(QStringLiteral("insert into TEST_LOCKED_REPORTS values ('INVOICE', 'Записът е заключен')"));
        serverText = serverError(*db_, QStringLiteral("update REPORTS set DESCR = 'x' where ID = 'INVOICE'"));
    } else if (fault == QLatin1String("Backup file")) {
        writeFile(dir_->filePath(QStringLiteral("Backup")), "not a folder");
    }

    Console c(db_->connectionName());
    c.item(item)->trigger();

    QStringList texts = c.boxes.texts();
    QVERIFY(texts.size() >= 1);
    QCOMPARE(c.boxes.boxes.first().kind, BoxKind::Information); // the procedure stage went well
    texts.removeFirst();
    QStringList expected;
    if (!message.isEmpty()) {
        QString text = message;
        text.replace(QStringLiteral("%1"), missingPath)
            .replace(QStringLiteral("%2"), qt_error_string(ENOENT))
            .replace(QStringLiteral("%3"), serverText)
            .replace(QStringLiteral("%4"), dir_->filePath(QStringLiteral("Backup")));
        expected.append(text);
    }
    QCOMPARE(texts, expected);
    QVERIFY(!c.cursorAtBoxes.contains(QStringLiteral("wait")));
    QCOMPARE(c.cursor.sets, 1); // the template stage leaves the cursor alone
    QCOMPARE(this->replaced(), replaced);
    QCOMPARE(c.state(QStringLiteral("N1")), n1After);
    QCOMPARE(c.state(QStringLiteral("N31")), QStringLiteral("eu"));
    if (fault == QLatin1String("locked INVOICE")) // the backup of the refused one stays
        QCOMPARE(
            QDir(dir_->filePath(QStringLiteral("Backup"))).entryList({QStringLiteral("B_INVOICE_*")}).size(),
            1);
}

void ConsoleOperationsTest::failedPreparationCanBeRunAgain() {
    setMode(*db_, QStringLiteral("EURO_READINESS"), QStringLiteral("fail"), QStringLiteral("Неуспех"));
    Console c(db_->connectionName());
    c.item(QStringLiteral("N1"))->trigger();
    QCOMPARE(c.state(QStringLiteral("N1")), QStringLiteral("eu"));
    setMode(*db_, QStringLiteral("EURO_READINESS"), QStringLiteral("ok"));
    c.item(QStringLiteral("N1"))->trigger();
    QCOMPARE(c.state(QStringLiteral("N1")), QStringLiteral("dt"));
    QCOMPARE(c.boxes.texts().last(),
             QStringLiteral("Актуализацията <ПОДГОТОВКА ЗА ЕВРО> премина УСПЕШНО за 02:03:004"));
    QCOMPARE(calls(), (QStringList{"EURO_READINESS(1,1)", "EURO_READINESS(1,1)"}));
}

void ConsoleOperationsTest::realElapsedTimeAndMouseClick() {
    setMode(*db_, QStringLiteral("EURO_TROUBLESHOOTER"), QStringLiteral("sleep"), QStringLiteral("готово"),
            1200);
    Console c(db_->connectionName());
    console::MonotonicStopwatch real;
    c.parts.stopwatch = &real;
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));

    // Through the menu as a mouse would: open "Обработки", click item 3.
    c.parts.N8->popup(c.window.mapToGlobal(QPoint(0, 0)));
    QVERIFY(QTest::qWaitForWindowExposed(c.parts.N8));
    QTest::mouseClick(c.parts.N8, Qt::LeftButton, {}, c.parts.N8->actionGeometry(c.parts.N31).center());
    QTRY_COMPARE(c.boxes.boxes.size(), 1);

    static const QRegularExpression re(QStringLiteral(
        "^<Проверка на данните> премина УСПЕШНО за (\\d\\d):(\\d\\d):(\\d\\d\\d)\rКорекции: готово$"));
    const QRegularExpressionMatch m = re.match(c.boxes.texts().first());
    QVERIFY2(m.hasMatch(), qPrintable(c.boxes.texts().first()));
    const int ms = (m.captured(1).toInt() * 60 + m.captured(2).toInt()) * 1000 + m.captured(3).toInt();
    QVERIFY2(ms >= 1200 && ms < 60000, qPrintable(QString::number(ms)));
    QCOMPARE(c.cursor.sets, 1);
    QCOMPARE(c.cursor.restores, 1);
}

void ConsoleOperationsTest::serverStoppedBeforeOperations() {
    // A server of this test's own; the shared one must keep running for the other tests.
    const QString script = qEnvironmentVariable("FB_SERVER_SCRIPT");
    QVERIFY(!script.isEmpty());
    const QByteArray sharedRoot = qgetenv("FB_TEST_ROOT");
    const QString root = QString::fromLocal8Bit(sharedRoot) + QStringLiteral("-console-stop");
    auto runScript = [&](const QStringList& args) {
        QProcess p;
        p.start(script, args);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    struct Restore {
        std::function<void()> f;
        ~Restore() { f(); }
    } restore{[&] {
        qputenv("FB_TEST_ROOT", sharedRoot);
        runScript({QStringLiteral("stop"), root});
    }};
    QVERIFY(runScript({QStringLiteral("start"), root, QStringLiteral("auto")}));
    // The test database support finds its server through FB_TEST_ROOT.
    qputenv("FB_TEST_ROOT", root.toLocal8Bit());
    TestDatabase db(QStringLiteral("console_stop"));
    db.createNotarySchema();
    installProcedures(db);

    Console c(db.connectionName());
    QVERIFY(c.window.bConnected2DB);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));
    QVERIFY(runScript({QStringLiteral("stop"), root}));

    struct Step {
        const char* item;
        QStringList prefixes; // of the failure boxes, in order
    };
    const Step steps[] = {
        {"N4", {QStringLiteral("Грешка при изпълнение на EURO_CONVERSION: \r")}},
        {"N31",
         {QStringLiteral("Грешка при изпълнение на EURO_TROUBLESHOOTER: \r"),
          QStringLiteral("Грешка при изпълнение на LoadReport\r")}},
        {"N1",
         {QStringLiteral("Грешка при изпълнение на EURO_READINESS: "),
          QStringLiteral("НЕУСПЕШНО изпълнение\r")}},
        {"N4", {QStringLiteral("Грешка при изпълнение на EURO_CONVERSION: \r")}}, // reports again
    };
    for (const Step& step : steps) {
        c.boxes.boxes.clear();
        c.item(QString::fromLatin1(step.item))->trigger();
        QStringList texts = c.boxes.texts();
        if (!c.boxes.boxes.isEmpty() && c.boxes.boxes.first().kind == BoxKind::Confirm)
            texts.removeFirst();
        QCOMPARE(texts.size(), step.prefixes.size());
        for (int i = 0; i < texts.size(); ++i) {
            QVERIFY2(texts[i].startsWith(step.prefixes[i]), qPrintable(texts[i]));
            QVERIFY2(texts[i].size() > step.prefixes[i].size() + 5, qPrintable(texts[i])); // a reason follows
        }
        QCOMPARE(c.state(QString::fromLatin1(step.item)), QStringLiteral("eu"));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(c.cursor.depth(), 0);
    }
    // Still a working window: the exit item closes it.
    QVERIFY(c.window.isVisible());
    c.parts.N2->trigger();
    QVERIFY(!c.window.isVisible());
}

QTEST_MAIN(ConsoleOperationsTest)
#include "test_console_operations.moc"
