#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>

namespace fb {

// Converts between the program's text and the connection's character set.
// Encoding a character that has no place in the target set is reported to the caller;
// decoding never fails: bytes with no mapping become the replacement character.
class TextCodec {
public:
    // `firebirdCharset` is the connection's lc_ctype, e.g. "WIN1251", "UTF8", "NONE".
    explicit TextCodec(const QString& firebirdCharset = QStringLiteral("WIN1251"));
    TextCodec(const TextCodec& other) : TextCodec(other.firebirdCharset_) {}
    TextCodec& operator=(const TextCodec& other);

    const QString& firebirdCharset() const { return firebirdCharset_; }
    // Firebird's numeric id of the character set (52 for WIN1251, 4 for UTF8, 0 for NONE).
    int charsetId() const { return charsetId_; }

    QString decode(const char* bytes, qsizetype size) const;
    QString decode(const QByteArray& bytes) const { return decode(bytes.constData(), bytes.size()); }
    // Returns false when a character cannot be represented; `out` is then unspecified.
    bool encode(const QString& text, QByteArray& out) const;

private:
    QString firebirdCharset_;
    QByteArray qtName_;
    int charsetId_ = 0;
    // Opening a converter is costly (ICU), so the decoder, used for every text read, is kept.
    // It lives on the heap because an ICU-backed converter must not move. Encoding (rare:
    // parameters and statement texts) opens a fresh encoder, as its error count cannot be reset.
    std::unique_ptr<QStringDecoder> decoder_;
};

} // namespace fb
