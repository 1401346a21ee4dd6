#pragma once

#include <QString>

// The caption of every box the application shows.
inline constexpr char kAppTitle[] = "Vantolia";

// The text of the error box for an error's own message: a full stop is added when the last
// character sorts after it (a letter, a digit, a question mark), so "Key violation" reads
// "Key violation." while "Fin." or "abc," are left alone.
QString errorBoxText(const QString &message);

// Message texts mark a line break with a lone carriage return; the boxes break lines at "\n".
// A "\r\n" pair stays one break.
QString displayText(const QString &text);
