#pragma once

#include "store/reasons.h"

#include <QImageReader>
#include <QString>

// The reasons SQLite's integrity check and the picture reader give for a failure, in Spanish
// words: every message the tool prints is Spanish, theirs included. The system's and SQLite's
// own reasons are the store's (store/reasons.h), shared with the program.
namespace tabletool {

using store::systemReason;

// `message` with SQLite's reasons in Spanish words, as the store gives them, and the store's
// "Key violation", which the program keeps as it is, in Spanish as well.
QString withSpanishReasons(const QString &message);

// One line of SQLite's integrity check in Spanish; an empty text for the line that only names
// the database the following lines are about. `damage` tells a file whose inner structure is
// broken, whose rows cannot be trusted, from rows that only break a rule of their table.
struct IntegrityProblem
{
    QString text;
    bool damage = false;
};
IntegrityProblem integrityProblem(const QString &line);

// Why a picture could not be read.
QString imageReason(QImageReader::ImageReaderError error);

// Runs `work`, turning the English reasons in any store::Error it throws into Spanish.
template <typename Work>
void withSpanishErrors(Work work);

} // namespace tabletool

#include "tabletool.h"

template <typename Work>
void tabletool::withSpanishErrors(Work work)
{
    try {
        work();
    } catch (const CsvError &) {
        throw;
    } catch (const store::Error &e) {
        const QString spanish = withSpanishReasons(e.message());
        if (spanish == e.message())
            throw;
        throw store::Error(spanish);
    }
}
