#pragma once

// The monitor as the program builds it (frame, grid, timer, data module), for tests and
// benchmarks, plus what they need of a Firebird server of their own.

#include "MainWindow.h"
#include "MonitorParts.h"
#include "TestDb.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace monitortest {

// Message boxes that only record what would have been shown.
class RecordingBoxes : public app::MessageBoxes {
public:
    QStringList shown;
    bool confirm(const QString& text) override {
        shown << text;
        return false;
    }
    void information(const QString& text) override { shown << text; }
    void plain(const QString& text) override { shown << text; }
};

// The main window, counting how often a connection attempt cleared the connection flag.
class CountingWindow : public app::TMainF {
public:
    using app::TMainF::TMainF;
    int connectionAttempts = 0;
    void setConnected2DB(bool connected) override {
        if (!connected)
            ++connectionAttempts;
        app::TMainF::setConnected2DB(connected);
    }
};

// Vantrel's start-up against `databaseName`: the window, the grid and the timer, then the
// data module. The timer is stopped so that only the tests' own ticks refresh.
struct Monitor {
    explicit Monitor(const QString& databaseName, bool show = true);
    ~Monitor();

    RecordingBoxes boxes;
    CountingWindow window;
    monitor::MonitorParts parts;

    monitor::LogGrid& grid() const { return *parts.cxGrid1; }
    monitor::LogTableModel& model() const { return *parts.cxGrid1->model(); }
    int rows() const { return model().rowCount(); }
    // LOG_ID of each shown row, top to bottom.
    QList<qint64> ids() const;
    QString footer() const { return grid().footer()->cellText(0); }
    void tick() { parts.аTimerTimer(); }
    // Lets geometry changes and deferred layout work run to the end.
    void settle();
};

using testdb::execOn;
inline void createDatabaseOn(const QString& name) { testdb::createDatabase(name); }

// A Firebird server of the test's own (scripts/fb-server.sh, named by FB_SERVER_SCRIPT),
// stopped when this goes out of scope.
class PrivateServer {
public:
    explicit PrivateServer(const QString& root) : root_(root) {}
    ~PrivateServer() { stop(); }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // `port` 0 picks a free one. Returns the port, or 0 on failure.
    int start(int port = 0);
    void stop();
    const QString& root() const { return root_; }

private:
    QString root_;
    bool running_ = false;
};

} // namespace monitortest
