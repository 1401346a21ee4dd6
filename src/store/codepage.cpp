#include "codepage.h"

namespace codepage {
namespace {

// What the code page puts at 0x80..0x9F; zero for the five bytes it leaves free.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool isLatin1Byte(char16_t c)
{
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF);
}

} // namespace

char toByte(char16_t c, char missing)
{
    if (isLatin1Byte(c))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == c && c != 0)
            return char(0x80 + i);
    return missing;
}

QByteArray toWindows1252(QStringView text, char missing)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (const QChar c : text)
        *out++ = toByte(c.unicode(), missing);
    return bytes;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        const char16_t high = u >= 0x80 && u < 0xA0 ? kHighControls[u - 0x80] : 0;
        *out++ = QChar(high != 0 ? high : char16_t(u));
    }
    return text;
}

bool holds(char16_t c)
{
    // 0x81 is one of the free bytes: no character the code page holds becomes it.
    return toByte(c, char(0x81)) != char(0x81);
}

qsizetype firstOutside(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!holds(text[i].unicode()))
            return i;
    return -1;
}

} // namespace codepage
