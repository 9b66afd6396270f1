#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

namespace console {

// The application-wide cursor as the operations use it.
class CursorControl {
public:
    virtual ~CursorControl() = default;
    virtual void setWaitCursor() = 0;
    virtual void restoreCursor() = 0;
};

// The real one: Qt's override cursor over every window of the process.
class ApplicationCursor : public CursorControl {
public:
    void setWaitCursor() override;
    void restoreCursor() override;
};

// Sets the wait cursor for its lifetime; release() gives the default one back early.
class WaitCursorGuard {
public:
    explicit WaitCursorGuard(CursorControl& cursor) : cursor_(cursor) { cursor_.setWaitCursor(); }
    ~WaitCursorGuard() { release(); }
    WaitCursorGuard(const WaitCursorGuard&) = delete;
    WaitCursorGuard& operator=(const WaitCursorGuard&) = delete;

    void release() {
        if (set_) {
            set_ = false;
            cursor_.restoreCursor();
        }
    }

private:
    CursorControl& cursor_;
    bool set_ = true;
};

// Measures how long an operation took.
class Stopwatch {
public:
    virtual ~Stopwatch() = default;
    virtual void start() = 0;
    virtual qint64 elapsedMs() const = 0;
};

// A monotonic clock, so that a change of the wall clock (or of daylight saving time) while
// a procedure runs cannot make the reported time jump or go negative.
class MonotonicStopwatch : public Stopwatch {
public:
    void start() override { timer_.start(); }
    qint64 elapsedMs() const override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

// "nn:ss:zzz" below one hour; from one hour on the whole hours come first, unpadded:
// "h:nn:ss:zzz" (1 h 5 min 7.250 s reads "1:05:07:250").
QString elapsedText(qint64 ms);

} // namespace console
