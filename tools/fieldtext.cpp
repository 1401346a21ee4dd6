#include "fieldtext.h"

namespace tabletool {
namespace {

constexpr qsizetype kQuotedLength = 80;

} // namespace

QString describeCharacter(QStringView text, qsizetype pos)
{
    char32_t code = text[pos].unicode();
    QString visible(text[pos]);
    if (text[pos].isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[pos], text[pos + 1]);
        visible = text.mid(pos, 2).toString();
    }
    if (code < 0x20 || (code >= 0x7F && code < 0xA0))
        return QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("«%1» (U+%2)").arg(visible).arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}

qsizetype controlCharacter(QStringView text, bool allowBreaks)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c != 0x7F)
            continue;
        if (allowBreaks && (c == '\n' || c == '\r' || c == '\t'))
            continue;
        return i;
    }
    return -1;
}

bool isSystemNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 2 || text.front() == QLatin1Char('0'))
        return false;
    int n = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        n = n * 10 + (c.unicode() - '0');
    }
    return n >= 1 && n <= 13;
}

QString quoted(QStringView text)
{
    qsizetype shown = std::min(text.size(), kQuotedLength);
    // Never half a character: a surrogate pair stays whole or goes.
    if (shown < text.size() && shown > 0 && text[shown - 1].isHighSurrogate())
        --shown;
    QString result;
    result.reserve(shown + 40);
    result += QStringLiteral("«");
    for (qsizetype i = 0; i < shown; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20)
            result += QChar(char16_t(0x2400 + c)); // the control pictures: ␀ ␉ ␊ ␛ ...
        else if (c == 0x7F)
            result += QChar(char16_t(0x2421));
        else if (c >= 0x80 && c < 0xA0)
            result += QChar(char16_t(0xFFFD));
        else
            result += text[i];
    }
    result += QStringLiteral("»");
    if (shown < text.size())
        result += QStringLiteral("… (%1 caracteres)").arg(text.size());
    return result;
}

qsizetype invalidUtf8(const char *bytes, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return i;
        }
        if (i + length > size)
            return i;
        if (p[i + 1] < low || p[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
        i += length;
    }
    return -1;
}

} // namespace tabletool
