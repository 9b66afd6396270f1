// How a message's line breaks reach the operator: the programs' own texts break lines with
// a lone CR, the client library's error texts with CR LF; either is one line break on screen.

#include "DbError.h"
#include "MessageBoxes.h"
#include "Startup.h"
#include "TestDb.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class MessageTextTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { app::applyProcessSettings(QStringLiteral("Corvane")); }
    void lineBreaks_data();
    void lineBreaks();
    void serverErrorInARealBox();
};

void MessageTextTest::lineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("own text, CR") << QStringLiteral("a\rb") << QStringLiteral("a\nb");
    // The confirmation's empty line before "Потвърдете внимателно" stays.
    QTest::newRow("own text, empty line") << QStringLiteral("a\r\rb") << QStringLiteral("a\n\nb");
    QTest::newRow("client library, CR LF") << QStringLiteral("a\r\nb\r\nc") << QStringLiteral("a\nb\nc");
    QTest::newRow("prefix CR, then CR LF lines") << QStringLiteral("prefix: \rdeadlock\r\nupdate conflicts")
                                                 << QStringLiteral("prefix: \ndeadlock\nupdate conflicts");
    QTest::newRow("LF alone") << QStringLiteral("a\nb") << QStringLiteral("a\nb");
    QTest::newRow("no break") << QStringLiteral("ab") << QStringLiteral("ab");
}

void MessageTextTest::lineBreaks() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(app::displayText(text), shown);
}

void MessageTextTest::serverErrorInARealBox() {
    // A procedure's exception as the console gets it: several lines from the client library.
    testdb::TestDatabase db(QStringLiteral("message_text"));
    db.exec(QStringList{
        QStringLiteral("create exception E_EURO 'x'"),
        QStringLiteral("create procedure P as begin exception E_EURO 'Базата данни вече е в евро.'; end")});
    QString error;
    try {
        db.exec(QStringLiteral("execute procedure P"));
    } catch (const fb::DbError& e) {
        error = e.message();
    }
    QVERIFY2(error.contains(QStringLiteral("\r\n")), qPrintable(error));
    const QStringList lines = error.split(QStringLiteral("\r\n"));

    QString boxText;
    QTimer answer;
    answer.setInterval(20);
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxText = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start();
    const QString prefix = QStringLiteral("Грешка при изпълнение на EURO_CONVERSION: ");
    app::QtMessageBoxes().plain(prefix + QLatin1Char('\r') + error);
    answer.stop();

    QCOMPARE(boxText, prefix + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
    QVERIFY(!boxText.contains(QStringLiteral("\n\n")));
}

QTEST_MAIN(MessageTextTest)
#include "test_message_text.moc"
