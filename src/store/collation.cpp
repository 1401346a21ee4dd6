#include "collation.h"

#include <array>
#include <cstring>

namespace store {
namespace {

constexpr unsigned char kDigitBase = 0x70;
constexpr unsigned char kLetterBase = 0x80;
constexpr unsigned char kOutsideLatin1 = 0xFF;

unsigned char letterWeight(char base) // base is a-z, or 'N' standing for ñ
{
    if (base == 'N')
        return kLetterBase + ('n' - 'a') + 1;
    const int offset = base - 'a';
    return static_cast<unsigned char>(kLetterBase + offset + (base > 'n' ? 1 : 0));
}

// The letter each Latin-1 character sorts as, or 0 when it is not a letter.
char baseLetter(char16_t c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<char>(c);
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    if (c == u'ñ' || c == u'Ñ')
        return 'N';
    static const char16_t *const groups[] = {
        u"aàáâãäåÀÁÂÃÄÅ", u"cçÇ", u"eèéêëÈÉÊË", u"iìíîïÌÍÎÏ", u"oòóôõöøÒÓÔÕÖØ",
        u"uùúûüÙÚÛÜ",     u"yýÿÝ", u"dÐð",
    };
    for (const char16_t *group : groups) {
        for (const char16_t *p = group + 1; *p; ++p)
            if (*p == c)
                return static_cast<char>(group[0]);
    }
    // Letters of the Windows code page beyond Latin-1.
    switch (c) {
    case u'Š': case u'š': return 's';
    case u'Ž': case u'ž': return 'z';
    case u'Ÿ': return 'y';
    case u'Œ': case u'œ': return 'o';
    default: return 0;
    }
}

std::array<unsigned char, 256> buildLatin1Table()
{
    std::array<unsigned char, 256> table{};
    unsigned char nextPunctuation = 0x02;
    for (int c = 0; c < 256; ++c) {
        const char16_t ch = static_cast<char16_t>(c);
        if (c < 0x20)
            table[c] = 0x01;
        else if (c >= '0' && c <= '9')
            table[c] = static_cast<unsigned char>(kDigitBase + (c - '0'));
        else if (const char letter = baseLetter(ch))
            table[c] = letterWeight(letter);
        else
            table[c] = nextPunctuation++;
    }
    return table;
}

unsigned char weight(char16_t c)
{
    static const std::array<unsigned char, 256> table = buildLatin1Table();
    if (c < 256)
        return table[c];
    if (const char letter = baseLetter(c))
        return letterWeight(letter);
    return kOutsideLatin1;
}

} // namespace

QByteArray spanishSortKey(QStringView text)
{
    QByteArray key(text.size(), Qt::Uninitialized);
    char *out = key.data();
    for (const QChar c : text)
        *out++ = static_cast<char>(weight(c.unicode()));
    return key;
}

quint64 spanishSortBytes(QStringView text, qsizetype from)
{
    quint64 v = 0;
    for (qsizetype i = from; i < from + 8; ++i)
        v = (v << 8) | (i < text.size() ? weight(text[i].unicode()) : 0u);
    return v;
}

int spanishCompare(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] == b[i]) // neighbours in an order mostly share their beginnings
            continue;
        const unsigned char wa = weight(a[i].unicode());
        const unsigned char wb = weight(b[i].unicode());
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace store
