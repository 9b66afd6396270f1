#pragma once

// Internal to the data layer: access to the Firebird client library's interfaces and the
// translation of its failures into DbError.

#include "DbError.h"
#include "TextCodec.h"

#include <firebird/Interface.h>

#include <utility>

namespace fb::detail {

Firebird::IMaster* master();
Firebird::IProvider* provider();
Firebird::IUtil* util();

// Interprets a status vector line by line (isc_interprete), lines joined by CR LF,
// a final full stop removed.
QString statusText(const ISC_STATUS* vector, const TextCodec& codec);
[[noreturn]] void raise(const Firebird::FbException& e, const TextCodec& codec);

// Owns one status object for the duration of a call sequence.
class Status {
public:
    Status() : status_(master()->getStatus()), wrapper_(status_) {}
    ~Status() { status_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::ThrowStatusWrapper* operator&() { return &wrapper_; }

private:
    Firebird::IStatus* status_;
    Firebird::ThrowStatusWrapper wrapper_;
};

// Non-throwing status for destructors and clean-up paths.
class QuietStatus {
public:
    QuietStatus() : status_(master()->getStatus()), wrapper_(status_) {}
    ~QuietStatus() { status_->dispose(); }
    QuietStatus(const QuietStatus&) = delete;
    QuietStatus& operator=(const QuietStatus&) = delete;

    Firebird::CheckStatusWrapper* operator&() { return &wrapper_; }
    bool failed() const { return (status_->getState() & Firebird::IStatus::STATE_ERRORS) != 0; }

private:
    Firebird::IStatus* status_;
    Firebird::CheckStatusWrapper wrapper_;
};

// Runs one client-library call; its failure leaves as DbError.
template <class Call>
auto invoke(const TextCodec& codec, Call&& call) {
    Status status;
    try {
        return std::forward<Call>(call)(&status);
    } catch (const Firebird::FbException& e) {
        raise(e, codec);
    }
}

} // namespace fb::detail
