#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QString>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

namespace fb {

// One attachment to a database; detached when destroyed.
class Attachment {
public:
    // `dpb` is a complete database parameter buffer (version byte first); `codec` is the
    // connection's character set, used for texts and error messages.
    Attachment(const QByteArray& databaseName, const QByteArray& dpb, const TextCodec& codec);
    ~Attachment();
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    // Detaches now; a failure is raised and the handle is released all the same.
    void detach();

    Firebird::IAttachment* handle() const { return handle_; }
    const TextCodec& codec() const { return codec_; }
    // Dialect in which statements are prepared: the database's own when below 3.
    unsigned dialect() const { return dialect_; }

private:
    Firebird::IAttachment* handle_ = nullptr;
    TextCodec codec_;
    unsigned dialect_ = 3;
};

// One transaction on an attachment. Started by the constructor; a transaction still
// active when destroyed is committed (rolled back if the commit fails).
class Transaction {
public:
    Transaction(Attachment& attachment, const QByteArray& tpb);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commitRetaining();
    void rollbackRetaining();
    // Both end the transaction; the handle is gone afterwards even when they fail.
    void commit();
    void rollback();

    bool active() const { return handle_ != nullptr; }
    Firebird::ITransaction* handle() const { return handle_; }
    Attachment& attachment() const { return attachment_; }

private:
    Attachment& attachment_;
    Firebird::ITransaction* handle_ = nullptr;
};

} // namespace fb
