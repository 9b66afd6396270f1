#pragma once

#include "IBComponents.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace fb {

enum class ProgramKind { Console, Monitor };

// What the data module writes into the main window (it knows nothing of widgets).
class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;
    virtual bool connected2DB() const = 0;
    virtual void setConnected2DB(bool connected) = 0;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual void setStatusText(int panel, const QString& text) = 0;
};

// Where the data module finds its database and login.
struct ConnectionSettings {
    QStringList arguments; // command-line arguments without the program name
    QString currentFolder;
    QString userName = QStringLiteral("sysdba");
    QString password = QStringLiteral("plumdrake");
    QString charset = QStringLiteral("WIN1251");

    // The programs' own settings: the process's arguments and current folder, with
    // ISC_USER / ISC_PASSWORD from the environment in place of the built-in login.
    static ConnectionSettings fromProcess();
    // The database name a connection attempt uses: the first argument, or the file
    // Tarvel.FDB in the current folder on the server at the local address.
    QString databaseName() const;
};

// The data module: one connection, one default transaction, one statement object and the
// datasets of both programs. Creating it for the monitor connects and opens the log, and
// raises when that fails; for the console it connects nothing.
class TDM {
public:
    TDM(ProgramKind kind, MainWindowLink& window, ConnectionSettings settings);
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // Declared first so that they are destroyed last: the transaction commits, then the
    // connection detaches.
    TIBDatabase IBD;
    TIBTransaction IBT;
    TIBSQL IBSQL;
    TIBDataSet IBQ;
    TIBDataSet IBReports;
    TIBDataSet IBEuroLog;
    TDataSource DIBEuroLog;

    void IBDBeforeConnect();
    void IBDAfterConnect();

    using Binder = std::function<void(TIBSQL&)>;
    // Runs one statement on IBSQL inside IBT: close, set the text, prepare, bind, start IBT
    // if not active, execute (a select fetches its first row), read, commit retaining, close.
    // On failure rolls back retaining (when IBT is active) and raises the error.
    void RunStatement(const QString& sql, const Binder& bindParams, const Binder& readColumns);

    ProgramKind kind() const { return kind_; }
    const ConnectionSettings& settings() const { return settings_; }

    static const QString kLogSelect;        // the monitor's first statement
    static const QString kLogSelectOrdered; // the one each refresh uses

private:
    void rollbackRetainingQuietly();

    ProgramKind kind_;
    MainWindowLink& window_;
    ConnectionSettings settings_;
};

} // namespace fb
