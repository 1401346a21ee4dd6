#include "catalogueedits.h"

#include "catalogue/catalogue.h"
#include "store/error.h"

#include <QSet>

#include <optional>

namespace maintenance {
namespace {

void deleteWithLinks(store::View &record, store::View &links)
{
    if (record.state() == store::State::Insert) {
        record.cancel();
        return;
    }
    // The row must exist before any link goes, so that an empty list changes nothing.
    if (!record.currentSlot())
        throw store::Error(QString::fromLatin1(store::kEmptyDataset));
    // All the links go in one transaction: a failure or a kill midway leaves them all.
    links.checkBrowseMode();
    std::vector<store::Slot> linked;
    for (int row = 0; row < links.recordCount(); ++row)
        if (const std::optional<store::Slot> s = links.slotAt(row))
            linked.push_back(*s);
    links.table()->removeMany(linked);
    record.remove();
}

std::optional<qint32> integerOf(const QString &text)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

} // namespace

void deleteFlowerWithLinks(Catalogue &c)
{
    deleteWithLinks(c.TFlores, c.TRelF);
}

void deleteSymptomWithLinks(Catalogue &c)
{
    deleteWithLinks(c.TSint, c.TRelS);
}

void linkSelectionToFlower(Catalogue &c)
{
    const qint32 flower = c.TFlores.asInteger(QStringLiteral("Clave"));
    QSet<qint32> linked;
    const int linkedSymptom = c.TRelF.fieldNumber(QStringLiteral("KSint"));
    for (int row = 0; row < c.TRelF.recordCount(); ++row)
        linked.insert(c.TRelF.valueAt(row, linkedSymptom).toInt());

    const store::View &chosen = c.TRepS;
    const int key = chosen.fieldNumber(QStringLiteral("Clave"));
    store::Table &rel = *c.TRelF.table();
    std::vector<store::Record> batch;
    QString stop;
    for (int row = 0; row < chosen.recordCount(); ++row) {
        const qint32 symptom = chosen.valueAt(row, key).toInt();
        // Looked up among all symptoms: the search may be hiding some of them.
        const QString order = CampoPorClave(c.TSintNames, symptom, QStringLiteral("Orden"));
        const std::optional<qint32> osint = integerOf(order);
        if (!osint) {
            stop = store::notAnIntegerMessage(order);
            break;
        }
        if (linked.contains(symptom))
            continue; // the store would refuse the pair: skipped without a word
        store::Record link{std::vector<QVariant>(std::size_t(rel.fieldCount())),
                           std::vector<bool>(std::size_t(rel.fieldCount()), true)};
        link.values[std::size_t(rel.fieldIndex(QStringLiteral("KFlor")))] = flower;
        link.values[std::size_t(rel.fieldIndex(QStringLiteral("KSint")))] = symptom;
        link.values[std::size_t(rel.fieldIndex(QStringLiteral("OSint")))] = *osint;
        batch.push_back(std::move(link));
        linked.insert(symptom);
    }
    // The links reach the file in one transaction: a failure or a kill midway adds none of them.
    c.TRelF.checkBrowseMode();
    rel.insertMany(batch);
    if (!stop.isNull())
        throw store::Error(stop);
}

} // namespace maintenance
