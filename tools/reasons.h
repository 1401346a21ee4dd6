#pragma once

#include <QImageReader>
#include <QString>

// The reasons the system, SQLite and the picture reader give for a failure, in Spanish words:
// every message the tool prints is Spanish, theirs included.
namespace tabletool {

// Why a system call failed, from its errno: "el sistema de archivos es de solo lectura".
QString systemReason(int error);

// `message` with every reason SQLite wrote in English ("database or disk is full") put in
// Spanish words; the rest is left as it is.
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
