#include "BlobStream.h"

#include "FbClient.h"

#include <algorithm>
#include <cstring>

namespace fb {

using namespace detail;

namespace {
// The client library moves a blob in segments of at most 64 KiB less one byte.
constexpr unsigned kMaxSegment = 65535;

void dropBlob(Firebird::IBlob*& blob, bool cancel) {
    if (!blob)
        return;
    QuietStatus st;
    if (cancel)
        blob->cancel(&st);
    else
        blob->close(&st);
    if (st.failed())
        blob->release();
    blob = nullptr;
}
} // namespace

BlobReadStream::BlobReadStream(Transaction& transaction, const BlobId& id, bool isNull)
    : transaction_(transaction), atEnd_(isNull) {
    if (!isNull) {
        ISC_QUAD quad;
        std::memcpy(&quad, id.data(), sizeof quad);
        blob_ = invoke(transaction_.attachment().codec(), [&](auto* st) {
            return transaction_.attachment().handle()->openBlob(st, transaction_.handle(), &quad, 0, nullptr);
        });
    }
}

BlobReadStream::~BlobReadStream() { dropBlob(blob_, false); }

void BlobReadStream::close() { dropBlob(blob_, false); }

qint64 BlobReadStream::read(char* data, qint64 maxSize) {
    qint64 total = 0;
    while (!atEnd_ && blob_ && total < maxSize) {
        const auto chunk = static_cast<unsigned>(std::min<qint64>(maxSize - total, kMaxSegment));
        unsigned got = 0;
        const int result = invoke(transaction_.attachment().codec(), [&](auto* st) {
            return blob_->getSegment(st, chunk, data + total, &got);
        });
        total += got;
        if (result == Firebird::IStatus::RESULT_NO_DATA)
            atEnd_ = true;
        else if (result != Firebird::IStatus::RESULT_OK && result != Firebird::IStatus::RESULT_SEGMENT)
            atEnd_ = true;
    }
    return total;
}

BlobWriteStream::BlobWriteStream(Transaction& transaction, std::function<void(const BlobId&)> onFinished)
    : transaction_(transaction), onFinished_(std::move(onFinished)) {
    ISC_QUAD quad{};
    blob_ = invoke(transaction_.attachment().codec(), [&](auto* st) {
        return transaction_.attachment().handle()->createBlob(st, transaction_.handle(), &quad, 0, nullptr);
    });
    std::memcpy(id_.data(), &quad, sizeof quad);
}

BlobWriteStream::~BlobWriteStream() {
    try {
        close();
    } catch (...) {
        dropBlob(blob_, true);
    }
}

void BlobWriteStream::close() {
    if (!blob_)
        return;
    invoke(transaction_.attachment().codec(), [&](auto* st) { blob_->close(st); });
    blob_ = nullptr; // a successful close releases the interface
    if (onFinished_)
        onFinished_(id_);
}

void BlobWriteStream::write(const char* data, qint64 size) {
    if (!blob_)
        throw DbError(QStringLiteral("Потокът към полето вече е затворен"));
    qint64 done = 0;
    while (done < size) {
        const auto chunk = static_cast<unsigned>(std::min<qint64>(size - done, kMaxSegment));
        invoke(transaction_.attachment().codec(), [&](auto* st) { blob_->putSegment(st, chunk, data + done); });
        done += chunk;
    }
}

} // namespace fb
