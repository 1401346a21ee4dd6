#pragma once

#include <QString>

// The reasons the system and SQLite give for a failure, in Spanish words: the program and the
// tables tool show every message in Spanish, theirs included.
namespace store {

// Why a system call failed, from its errno: "el sistema de archivos es de solo lectura".
QString systemReason(int error);

// Why an SQLite call failed, from its result code (primary or extended).
QString sqliteReason(int code);

// `message` with every reason SQLite writes in English ("database or disk is full", "CHECK
// constraint failed: ...") put in Spanish words; the rest is left as it is. The store's own
// messages that users rely on word for word ("Key violation") are not SQLite's and stay.
QString withSpanishReasons(const QString &message);

} // namespace store
