#pragma once

#include "nameindex.h"

#include "store/view.h"

#include <QStringList>

// Finding symptoms by the words typed in the search box.
namespace search {

enum Mode { Nearest = 0, AnyWord = 1, AllWords = 2, Exact = 3 };

// The words of the text: blanks separate them, nothing else does (a tab belongs to a word).
void SepararPalabras(const QString &text, QStringList &words);

// Folds a text for searching, symptom names and typed text alike, so that the search is blind
// to case and accents: letters become capitals; a vowel with an acute, grave, circumflex,
// diaeresis, tilde or ring, of either case, becomes its plain capital, and ç becomes C; ñ
// becomes Ñ, a letter of its own. ß becomes SS, as the search box writes it; the capitals the
// box writes for µ and ƒ, which the code page lacks, become µ and ƒ again. Every other
// character stays as it is, so a text of the catalogue's code page stays within it; folding
// twice changes nothing.
void NormalizarTexto(QString &text);

// The fold of a text as bytes of the catalogue's code page, appended to `out`: the same as
// NormalizarTexto followed by codepage::toWindows1252 with `missing` for what the code page
// lacks, in one pass and without copies.
void appendFolded(QStringView text, char missing, QByteArray &out);

// Whether a word can be found at all: an empty word, or one holding a zero or a character
// that the catalogue's code page lacks, is in no name.
bool searchable(const QString &word);

// Whether one symptom name passes the search. `text` is the whole text of the box, used by
// the exact mode. The name, the words and the text are folded alike, then compared character
// by character.
bool nameMatches(const QString &name, int mode, const QStringList &words, const QString &text);

// Applies a search to the symptom view as the search box does on every change: in the first
// mode it shows every symptom and moves to the nearest name for the text as typed; otherwise
// it folds the text, splits it into `words` and lets through the names that pass. `test` is
// the per-row test the view keeps for rows that change later. Returns how many symptoms show.
int applySearch(store::View &symptoms, NameIndex &index, int mode, const QString &text, QStringList &words,
                store::FilterFunction test);

} // namespace search
