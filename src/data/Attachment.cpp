#include "Attachment.h"

#include "FbClient.h"

#include <ibase.h>

namespace fb {

using namespace detail;

Attachment::Attachment(const QByteArray& databaseName, const QByteArray& dpb, const TextCodec& codec)
    : codec_(codec) {
    handle_ = invoke(codec_, [&](auto* st) {
        return provider()->attachDatabase(st, databaseName.constData(), static_cast<unsigned>(dpb.size()),
                                          reinterpret_cast<const unsigned char*>(dpb.constData()));
    });
    try {
        const unsigned char items[] = {isc_info_db_sql_dialect, isc_info_end};
        unsigned char info[32] = {};
        invoke(codec_, [&](auto* st) { handle_->getInfo(st, sizeof items, items, sizeof info, info); });
        if (info[0] == isc_info_db_sql_dialect) {
            const auto length = static_cast<short>(isc_portable_integer(info + 1, 2));
            const auto value = static_cast<unsigned>(isc_portable_integer(info + 3, length));
            if (value >= 1 && value < 3)
                dialect_ = value;
        }
    } catch (...) {
        QuietStatus st;
        handle_->detach(&st);
        if (st.failed())
            handle_->release();
        throw;
    }
}

Attachment::~Attachment() {
    if (!handle_)
        return;
    QuietStatus st;
    handle_->detach(&st);
    if (st.failed())
        handle_->release();
}

void Attachment::detach() {
    if (!handle_)
        return;
    Firebird::IAttachment* handle = std::exchange(handle_, nullptr);
    try {
        invoke(codec_, [&](auto* st) { handle->detach(st); });
    } catch (...) {
        handle->release();
        throw;
    }
}

Transaction::Transaction(Attachment& attachment, const QByteArray& tpb) : attachment_(attachment) {
    handle_ = invoke(attachment_.codec(), [&](auto* st) {
        return attachment_.handle()->startTransaction(st, static_cast<unsigned>(tpb.size()),
                                                      reinterpret_cast<const unsigned char*>(tpb.constData()));
    });
}

Transaction::~Transaction() {
    if (!handle_)
        return;
    QuietStatus st;
    handle_->commit(&st);
    if (!st.failed())
        return;
    QuietStatus st2;
    handle_->rollback(&st2);
    if (st2.failed())
        handle_->release();
}

void Transaction::commitRetaining() {
    invoke(attachment_.codec(), [&](auto* st) { handle_->commitRetaining(st); });
}

void Transaction::rollbackRetaining() {
    invoke(attachment_.codec(), [&](auto* st) { handle_->rollbackRetaining(st); });
}

void Transaction::commit() {
    Firebird::ITransaction* handle = std::exchange(handle_, nullptr);
    try {
        invoke(attachment_.codec(), [&](auto* st) { handle->commit(st); });
    } catch (...) {
        handle->release();
        throw;
    }
}

void Transaction::rollback() {
    Firebird::ITransaction* handle = std::exchange(handle_, nullptr);
    try {
        invoke(attachment_.codec(), [&](auto* st) { handle->rollback(st); });
    } catch (...) {
        handle->release();
        throw;
    }
}

} // namespace fb
