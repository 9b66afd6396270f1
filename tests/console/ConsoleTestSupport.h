#pragma once

// What the console's tests share: a test database whose changeover procedures do what a
// control table tells them, message boxes and a cursor that record instead of showing.

#include "MessageBoxes.h"
#include "OperationServices.h"
#include "TestDb.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace consoletest {

// Adds to a notary schema: EURO_READINESS, EURO_CONVERSION and EURO_TROUBLESHOOTER with the
// real signatures, driven by TEST_CONTROL (PROC, MODE, TXT, DELAY_MS):
//   ok     one row, the output column = TXT          null   one row, the output NULL
//   norow  no row                                    fail   exception E_TEST with TXT
//   sleep  spins DELAY_MS milliseconds, then as ok
// Every call is logged in TEST_CALLS (PROC, ARGS: the inputs joined by ",") in an
// autonomous transaction; a call that returns also inserts into TEST_EFFECTS (PROC) in the
// caller's transaction. An update of REPORTS fails with TXT for each ID in
// TEST_LOCKED_REPORTS (ID, TXT).
void installProcedures(const testdb::TestDatabase& db);
void setMode(const testdb::TestDatabase& db, const QString& proc, const QString& mode,
             const QString& text = QString(), int delayMs = 0);

// The DbError text the server gives for `sql` on a connection of its own (rolled back).
QString serverError(const testdb::TestDatabase& db, const QString& sql);

// DESCR of a REPORTS row; `isNull` tells a NULL from an empty blob.
QByteArray storedTemplate(const testdb::TestDatabase& db, const QString& id, bool* isNull = nullptr);
void setStoredTemplate(const testdb::TestDatabase& db, const QString& id, const QByteArray* content);

void writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);
// Deterministic, not repeating with any short period, so a misplaced piece shows.
QByteArray patternBytes(qint64 size, quint32 seed);

enum class BoxKind { Confirm, Information, Plain };

struct Box {
    BoxKind kind;
    QString text;
};

// Records every box with its exact text; confirmations take the queued answers (Yes when
// none is queued). Never blocks.
class RecordingBoxes : public app::MessageBoxes {
public:
    QList<Box> boxes;
    QList<bool> answers;
    // Called as each box is "shown", after it was recorded.
    std::function<void(const Box&)> onBox;

    bool confirm(const QString& text) override;
    void information(const QString& text) override;
    void plain(const QString& text) override;

    QStringList texts() const;

private:
    void record(BoxKind kind, const QString& text);
};

// Counts what the operations do to the cursor, and passes it on to the real one.
class RecordingCursor : public console::CursorControl {
public:
    int sets = 0;
    int restores = 0;
    int depth() const { return sets - restores; }
    void setWaitCursor() override;
    void restoreCursor() override;

private:
    console::ApplicationCursor real_;
};

class FixedStopwatch : public console::Stopwatch {
public:
    explicit FixedStopwatch(qint64 ms) : ms_(ms) {}
    int starts = 0;
    void start() override { ++starts; }
    qint64 elapsedMs() const override { return ms_; }

private:
    qint64 ms_;
};

} // namespace consoletest
