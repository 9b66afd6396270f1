#pragma once

#include "Attachment.h"
#include "FieldValue.h"

#include <QtGlobal>

#include <functional>

namespace Firebird {
class IBlob;
}

namespace fb {

// Reads one stored blob from its start, in segments; a null blob reads as empty.
// Failures of the client library leave read() as DbError.
class BlobReadStream {
public:
    BlobReadStream(Transaction& transaction, const BlobId& id, bool isNull);
    ~BlobReadStream();
    BlobReadStream(const BlobReadStream&) = delete;
    BlobReadStream& operator=(const BlobReadStream&) = delete;

    // Fills up to maxSize bytes; returns how many (0 at the end).
    qint64 read(char* data, qint64 maxSize);
    void close();

private:
    Transaction& transaction_;
    Firebird::IBlob* blob_ = nullptr;
    bool atEnd_ = false;
};

// Writes a new blob in segments. close() finishes it and hands its id to `onFinished`;
// a stream destroyed unclosed finishes likewise. Failures leave write() or close() as DbError.
class BlobWriteStream {
public:
    BlobWriteStream(Transaction& transaction, std::function<void(const BlobId&)> onFinished);
    ~BlobWriteStream();
    BlobWriteStream(const BlobWriteStream&) = delete;
    BlobWriteStream& operator=(const BlobWriteStream&) = delete;

    void write(const char* data, qint64 size);
    void close();

private:
    Transaction& transaction_;
    Firebird::IBlob* blob_ = nullptr;
    BlobId id_{};
    std::function<void(const BlobId&)> onFinished_;
};

} // namespace fb
