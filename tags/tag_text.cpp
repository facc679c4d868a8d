#include "tags/tag_text.h"

#include <QList>
#include <QStringDecoder>

QString TagText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

std::string TagBytes(const QString& text) {
    return text.toStdString();
}

std::string Latin1Fallback(const QString& text) {
    std::string out;
    bool anyLetter = false;
    for (const char32_t c : text.toUcs4()) {
        char32_t kept = c;
        if (c > 0xFF) {
            // "ő" decomposes to "o" and a mark; "Ω" to nothing Latin-1 has.
            const QString parts =
                QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
            const bool fits = !parts.isEmpty() && parts[0].unicode() <= 0xFF && !parts[0].isMark();
            kept = fits ? parts[0].unicode() : U'?';
        }
        anyLetter = anyLetter || (kept != U'?' && QChar::isLetterOrNumber(kept));
        out.push_back(static_cast<char>(kept));
    }
    // Nothing but question marks says less than an empty field.
    return anyLetter ? out : std::string();
}
