#pragma once

#include "tablefolder.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// The rows of the three catalogue tables as the commands that make a catalogue (importing
// and migrating) gather them before anything is written.
namespace tabletool {

struct FlowerRow
{
    qint32 key = 0;
    QString system;
    QString names[3];
    QString memos[3];
    QByteArray photo; // PNG by the time the row is written
};

struct SymptomRow
{
    qint32 key = 0;
    QString name;
    std::optional<qint64> order;
};

struct LinkRow
{
    qint32 flower = 0;
    qint32 symptom = 0;
    std::optional<qint64> order;
};

// The three catalogue tables of `tables`, each in one transaction; empty texts and missing
// numbers are stored as empty.
void fillCatalogue(NewTableFolder &tables, const std::vector<FlowerRow> &flowers,
                   const std::vector<SymptomRow> &symptoms, const std::vector<LinkRow> &links);

} // namespace tabletool
