#pragma once

#include <QString>

// The thirteen flower systems; number 0 stands for all of them.
namespace catalogo {

inline constexpr int kSistemas = 13;

QString nombreSistema(int numero);      // "TODOS", "Bach", ... "Otras"
QString abreviaturaSistema(int numero); // "", "Bach", "Calif", ... ; empty outside 0..13
// The abbreviation of a stored `Tipo` text; empty when it is not a number from 0 to 13.
QString abreviaturaTipo(const QString &tipo);

} // namespace catalogo
