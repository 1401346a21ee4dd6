#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The repertory as plain text, for pasting into a case record or a letter.
namespace repertory {

// One result row as the result grid shows it.
struct ExportedFlower
{
    int count = 0;
    QString system; // the system's abbreviation; may be empty
    QString name;   // in the language of the grid's name column
};

// The symptoms and then the flowers, each part under a heading with its count and an underline
// as long as the heading; every line, the last included, ends with CR LF.
QString repertoryText(const QStringList &symptoms, const std::vector<ExportedFlower> &flowers);

} // namespace repertory
