#include "symptomsearch.h"

#include <utility>

namespace search {
namespace {

bool holdsAll(const QString &name, const QStringList &words)
{
    for (const QString &w : words)
        if (w.isEmpty() || !name.contains(w))
            return false;
    return true;
}

bool holdsAny(const QString &name, const QStringList &words)
{
    for (const QString &w : words)
        if (!w.isEmpty() && name.contains(w))
            return true;
    return false;
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
    static const QString from = QStringLiteral("áéíóúñ");
    static const QString to = QStringLiteral("AEIOUÑ");
    for (QChar &c : text) {
        const qsizetype i = from.indexOf(c);
        if (i >= 0)
            c = to[i];
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
}

bool nameMatches(const QString &name, int mode, const QStringList &words, const QString &text)
{
    if (mode < AnyWord || mode > Exact)
        return true;
    QString folded = name;
    NormalizarTexto(folded);
    switch (mode) {
    case AnyWord: return holdsAny(folded, words);
    case AllWords: return holdsAll(folded, words);
    default: return !text.isEmpty() && folded.contains(text);
    }
}

int applySearch(store::View &symptoms, NameIndex &index, int mode, const QString &text, QStringList &words,
                store::FilterFunction test)
{
    if (mode == Nearest) {
        symptoms.clearFilterCallback();
        symptoms.findNearest(text);
    } else {
        SepararPalabras(text, words);
        symptoms.setFilterCallback(std::move(test), index.find(mode, words, text));
    }
    return symptoms.recordCount();
}

} // namespace search
