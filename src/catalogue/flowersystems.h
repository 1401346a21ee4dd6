#pragma once

#include <QString>

// The thirteen flower systems; number 0 stands for all of them.
namespace catalogue {

inline constexpr int kSystemCount = 13;

QString systemName(int number);      // "TODOS", "Bach", ... "Otras"
QString systemAbbreviation(int number); // "", "Bach", "Calif", ... ; empty outside 0..13
// The abbreviation of a stored `Tipo` text; empty when it is not a number from 0 to 13.
QString tipoAbbreviation(const QString &tipo);

} // namespace catalogue
