#include "TextCodec.h"


namespace fb {

namespace {

struct CharsetEntry {
    const char* firebird;
    const char* qt;
    int id;
};

// The character sets a connection of these programs may use; WIN1251 is the programs' own.
constexpr CharsetEntry kCharsets[] = {
    {"WIN1251", "windows-1251", 52}, {"UTF8", "UTF-8", 4},           {"UNICODE_FSS", "UTF-8", 3},
    {"WIN1252", "windows-1252", 53}, {"ISO8859_1", "ISO-8859-1", 21}, {"NONE", "ISO-8859-1", 0},
};

} // namespace

TextCodec::TextCodec(const QString& firebirdCharset) : firebirdCharset_(firebirdCharset.toUpper()) {
    qtName_ = "windows-1251";
    charsetId_ = 52;
    for (const auto& entry : kCharsets) {
        if (firebirdCharset_ == QLatin1String(entry.firebird)) {
            qtName_ = entry.qt;
            charsetId_ = entry.id;
            break;
        }
    }
    decoder_ = std::make_unique<QStringDecoder>(qtName_.constData(), QStringConverter::Flag::Stateless);
}

TextCodec& TextCodec::operator=(const TextCodec& other) {
    if (this != &other) {
        firebirdCharset_ = other.firebirdCharset_;
        qtName_ = other.qtName_;
        charsetId_ = other.charsetId_;
        decoder_ = std::make_unique<QStringDecoder>(qtName_.constData(), QStringConverter::Flag::Stateless);
    }
    return *this;
}

QString TextCodec::decode(const char* bytes, qsizetype size) const {
    if (size <= 0)
        return {};
    decoder_->resetState();
    return decoder_->decode(QByteArrayView(bytes, size));
}

bool TextCodec::encode(const QString& text, QByteArray& out) const {
    QStringEncoder encoder(qtName_.constData(), QStringConverter::Flag::Stateless);
    out = encoder.encode(text);
    return !encoder.hasError();
}

} // namespace fb
