#pragma once

#include <QString>

// The questions asked before the catalogue changes. A carriage return starts a new line in the
// box that shows them.
namespace maintenance {

// "<name>\rVa a eliminar esta flor", and with links "\ry sus <n> síntomas asignados ?".
QString flowerDeletionQuestion(const QString &name, int links);
// "<name>\rVa a eliminar este síntoma", and with links "\ry sus <n> flores asignadas ?".
QString symptomDeletionQuestion(const QString &name, int links);
// The symptom, an empty line, "Desea quitar este síntoma de la flor", then the Spanish name and " ?".
QString linkRemovalQuestion(const QString &symptom, const QString &spanishName);
// "Va a agregar <n> síntomas a la flor <name> ?".
QString linkBatchQuestion(int symptoms, const QString &name);

} // namespace maintenance
