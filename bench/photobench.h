#pragma once

#include <QString>

// Flower photos: moving the flower cursor across 2- and 12-megapixel photos (reading, decoding,
// fitting and painting each one) in the three fit modes. The catalogue goes under `base`.
void measurePhotoMoves(const QString &base);

// Opening a catalogue of 2,500 flowers each with a 2-megapixel photo against the same catalogue
// without them, each in a fresh process: `program` is the benchmark itself, run with --open.
// Both are made under `base` for the measurement and removed after it.
void measurePhotoOpening(const QString &program, const QString &base);
