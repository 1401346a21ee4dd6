#pragma once

#include "nameindex.h"

#include "store/view.h"

#include <QStringList>

// Finding symptoms by the words typed in the search box.
namespace search {

enum Mode { Nearest = 0, AnyWord = 1, AllWords = 2, Exact = 3 };

// The words of the text: blanks separate them, nothing else does (a tab belongs to a word).
void SepararPalabras(const QString &text, QStringList &words);

// Folds a symptom name for searching: lower-case accented vowels become plain capitals, ñ
// becomes Ñ and a to z become capitals; every other character stays as it is.
void NormalizarTexto(QString &text);

// Whether one symptom name passes the search. `text` is the whole text of the box, used by
// the exact mode; the words and the text are compared as typed, character by character.
bool nameMatches(const QString &name, int mode, const QStringList &words, const QString &text);

// Applies a search to the symptom view as the search box does on every change: in the first
// mode it shows every symptom and moves to the nearest name; otherwise it splits the words
// into `words` and lets through the names that pass. `test` is the per-row test the view
// keeps for rows that change later. Returns how many symptoms show.
int applySearch(store::View &symptoms, NameIndex &index, int mode, const QString &text, QStringList &words,
                store::FilterFunction test);

} // namespace search
