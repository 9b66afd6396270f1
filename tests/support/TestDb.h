#pragma once

// Test support: databases of the tests' own on the private server that the test set-up
// started (its folder in FB_TEST_ROOT, its port in FB_TEST_ROOT/port).

#include "Attachment.h"
#include "DataModule.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace testdb {

// The private server's port; fails the test run (qFatal) when the set-up did not start one.
int serverPort();
QString serverRoot();
// "127.0.0.1/<port>:<path>"
QString connectionName(const QString& path);
// A name on which no server answers (a closed loopback port).
QString unreachableName();

// Login parameter buffer of the built-in user, with the given connection character set;
// `create` adds the new database's character set WIN1251 and dialect 3.
QByteArray loginBuffer(const QString& charset, bool create);
// A read-committed, read-write, no-wait transaction parameter buffer.
QByteArray readCommittedTpb();
// Creates a database by its full connection name (any server); an existing one is dropped.
void createDatabase(const QString& connectionName, const QString& charset = QStringLiteral("WIN1251"));
// Runs statements on the named database, each in a transaction of its own, committed.
void execOn(const QString& connectionName, const QStringList& statements,
            const QString& charset = QStringLiteral("WIN1251"));

// A fresh database file created through the server (an existing file of that name is
// dropped first), dialect 3, default character set WIN1251.
class TestDatabase {
public:
    // `name` becomes the file name under the tests' scratch folder.
    explicit TestDatabase(const QString& name, const QString& charset = QStringLiteral("WIN1251"));
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const QString& path() const { return path_; }
    QString connectionName() const { return testdb::connectionName(path_); }

    // Runs statements, each in a transaction of its own, committed.
    void exec(const QString& sql) const;
    void exec(const QStringList& statements) const;
    // First column of the first row, as text / integer (empty / 0 when no row).
    QString queryString(const QString& sql) const;
    qint64 queryInt(const QString& sql) const;

    // The objects the programs rely on: FIRMA with one row (ID 4711), EURO_LOG with its
    // sequence and trigger, REPORTS with BILLBEFORE, INVOICE, IORDER, EORDER.
    void createNotarySchema() const;

    // A second, independent connection (for what another program would do).
    std::unique_ptr<fb::Attachment> attach(const QString& charset = QStringLiteral("WIN1251")) const;

private:
    template <class Read>
    auto firstColumn(const QString& sql, Read read) const;

    QString path_;
    QString charset_;
};

// A window link that records what the data module writes.
class RecordingWindow : public fb::MainWindowLink {
public:
    bool connected = false;
    QString title = QStringLiteral("Corvane");
    QString panels[4];
    int connectedSetFalse = 0; // how often the flag was cleared (one per connection attempt)

    bool connected2DB() const override { return connected; }
    void setConnected2DB(bool value) override {
        if (!value)
            ++connectedSetFalse;
        connected = value;
    }
    QString caption() const override { return title; }
    void setCaption(const QString& caption) override { title = caption; }
    void setStatusText(int panel, const QString& text) override { panels[panel] = text; }
};

// Settings that point the data module at `databaseName` with the built-in login.
fb::ConnectionSettings settingsFor(const QString& databaseName);

} // namespace testdb
