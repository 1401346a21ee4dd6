#include "symptomsearch.h"

#include "store/codepage.h"

#include <array>
#include <string_view>
#include <utility>

namespace search {
namespace {

// The fold of each of the first 256 code points, made once.
std::array<char16_t, 256> makeFoldTable()
{
    std::array<char16_t, 256> to{};
    for (char16_t c = 0; c < 256; ++c)
        to[c] = c;
    for (char16_t c = u'a'; c <= u'z'; ++c)
        to[c] = char16_t(c - u'a' + u'A');
    const auto fold = [&to](std::u16string_view from, char16_t plain) {
        for (const char16_t c : from)
            to[c] = plain;
    };
    fold(u"àáâãäåÀÁÂÃÄÅ", u'A');
    fold(u"èéêëÈÉÊË", u'E');
    fold(u"ìíîïÌÍÎÏ", u'I');
    fold(u"òóôõöÒÓÔÕÖ", u'O');
    fold(u"ùúûüÙÚÛÜ", u'U');
    fold(u"çÇ", u'C');
    // The other small letters whose capital is one letter of the code page.
    const std::u16string_view lower = u"ñæøýþð", upper = u"ÑÆØÝÞÐ";
    for (std::size_t i = 0; i < lower.size(); ++i)
        to[lower[i]] = upper[i];
    to[u'ÿ'] = u'Ÿ';
    return to;
}

// The fold of a character beyond the first 256 code points.
char16_t foldWide(char16_t c)
{
    switch (c) {
    case u'š': return u'Š';
    case u'œ': return u'Œ';
    case u'ž': return u'Ž';
    // The box writes µ and ƒ in capitals as the Greek Μ and as Ƒ, which the code page lacks.
    case u'\u039C': return u'µ';
    case u'\u0191': return u'ƒ';
    default: return c;
    }
}

const std::array<char16_t, 256> &foldTable()
{
    static const std::array<char16_t, 256> kTable = makeFoldTable();
    return kTable;
}

// The folded byte of each of the first 256 code points; kSharpS for ß, which becomes two.
constexpr quint16 kSharpS = 0x100;
constexpr quint16 kMissing = 0x101;

std::array<quint16, 256> makeByteTable()
{
    std::array<quint16, 256> to{};
    for (char16_t c = 0; c < 256; ++c) {
        const char byte = codepage::toByte(foldTable()[c], 0);
        to[c] = byte != 0 || c == 0 ? quint16(quint8(byte)) : kMissing;
    }
    to[u'ß'] = kSharpS;
    return to;
}

bool holdsAll(const QString &name, const QStringList &words)
{
    for (const QString &w : words)
        if (!searchable(w) || !name.contains(w))
            return false;
    return true;
}

bool holdsAny(const QString &name, const QStringList &words)
{
    for (const QString &w : words)
        if (searchable(w) && name.contains(w))
            return true;
    return false;
}

QStringList foldedWords(QStringList words)
{
    for (QString &w : words)
        NormalizarTexto(w);
    return words;
}

} // namespace

void SepararPalabras(const QString &text, QStringList &words)
{
    words.clear();
    QString current;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) {
            if (!current.isEmpty())
                words << std::exchange(current, QString());
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        words << current;
}

void NormalizarTexto(QString &text)
{
    const std::array<char16_t, 256> &kTable = foldTable();
    bool sharpS = false;
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        c = QChar(u < 256 ? kTable[u] : foldWide(u));
        sharpS = sharpS || u == u'ß';
    }
    if (sharpS)
        text.replace(u'ß', QStringLiteral("SS"));
}

void appendFolded(QStringView text, char missing, QByteArray &out)
{
    static const std::array<quint16, 256> kBytes = makeByteTable();
    qsizetype at = out.size();
    out.resize(at + text.size());
    char *p = out.data();
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        const quint16 b = c < 256 ? kBytes[c] : quint16(quint8(codepage::toByte(foldWide(c), missing)));
        if (b < 256) {
            p[at++] = char(b);
        } else if (b == kSharpS) {
            // The one character that becomes two.
            out.resize(out.size() + 1);
            p = out.data();
            p[at++] = 'S';
            p[at++] = 'S';
        } else {
            p[at++] = missing;
        }
    }
}

bool searchable(const QString &word)
{
    return !word.isEmpty() && !word.contains(QChar(0)) && codepage::firstOutside(word) < 0;
}

bool nameMatches(const QString &name, int mode, const QStringList &words, const QString &text)
{
    if (mode < AnyWord || mode > Exact)
        return true;
    QString foldedName = name;
    NormalizarTexto(foldedName);
    switch (mode) {
    case AnyWord: return holdsAny(foldedName, foldedWords(words));
    case AllWords: return holdsAll(foldedName, foldedWords(words));
    default: return holdsAll(foldedName, foldedWords({text}));
    }
}

int applySearch(store::View &symptoms, NameIndex &index, int mode, const QString &text, QStringList &words,
                store::FilterFunction test)
{
    if (mode == Nearest) {
        symptoms.clearFilterCallback();
        symptoms.findNearest(text);
    } else {
        QString folded = text;
        NormalizarTexto(folded);
        SepararPalabras(folded, words);
        symptoms.setFilterCallback(std::move(test), index.find(mode, words, folded));
    }
    return symptoms.recordCount();
}

} // namespace search
