#include "catalogueedits.h"

#include "catalogue/catalogue.h"
#include "store/batch.h"
#include "store/error.h"

#include <QSet>

#include <optional>

namespace maintenance {
namespace {

// The row and every link that names it go in one transaction: on any failure nothing is
// deleted, neither in the files nor in memory.
void deleteWithLinks(store::View &record, store::View &links, const QString &linkField)
{
    if (record.state() == store::State::Insert) {
        record.cancel();
        return;
    }
    // The row must exist before any link is looked for, so that an empty list changes nothing.
    if (!record.currentSlot())
        throw store::Error(QString::fromLatin1(store::kEmptyDataset));
    // A link being typed is stored or dropped first, as any move would.
    links.checkBrowseMode();
    store::Table &rel = *links.table();
    store::Batch batch;
    batch.remove(rel, rel.rowsWhere(rel.fieldIndex(linkField), record.asInteger(QStringLiteral("Clave"))));
    record.remove(batch);
}

std::optional<qint32> integerOf(const QString &text)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

store::Record linkRecord(const store::Table &rel, qint32 flower, qint32 symptom, qint32 order)
{
    store::Record r;
    r.values.assign(std::size_t(rel.fieldCount()), QVariant());
    r.changed.assign(std::size_t(rel.fieldCount()), true);
    r.values[std::size_t(rel.fieldIndex(QStringLiteral("KFlor")))] = flower;
    r.values[std::size_t(rel.fieldIndex(QStringLiteral("KSint")))] = symptom;
    r.values[std::size_t(rel.fieldIndex(QStringLiteral("OSint")))] = order;
    return r;
}

} // namespace

void deleteFlowerWithLinks(Catalogue &c)
{
    deleteWithLinks(c.TFlores, c.TRelF, QStringLiteral("KFlor"));
}

void deleteSymptomWithLinks(Catalogue &c)
{
    deleteWithLinks(c.TSint, c.TRelS, QStringLiteral("KSint"));
}

void linkSelectionToFlower(Catalogue &c)
{
    const qint32 flower = c.TFlores.asInteger(QStringLiteral("Clave"));
    // A link being typed is stored or dropped first, as the next append would.
    c.TRelF.checkBrowseMode();
    store::Table &rel = *c.TRelF.table();
    const int linkedSymptom = rel.fieldIndex(QStringLiteral("KSint"));
    QSet<qint32> linked;
    for (const store::Slot s : rel.rowsWhere(rel.fieldIndex(QStringLiteral("KFlor")), flower))
        linked.insert(rel.integer(s, linkedSymptom));

    // The links up to a selected symptom that cannot be read are made, in one transaction, and
    // the batch stops there.
    std::vector<store::Record> links;
    std::optional<QString> stop;
    const store::View &chosen = c.TRepS;
    const int key = chosen.fieldNumber(QStringLiteral("Clave"));
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
        store::Record link = linkRecord(rel, flower, symptom, *osint);
        try {
            rel.validate(link);
        } catch (const store::Error &) {
            continue; // a row the store refuses is dropped without a word, as a refused post is
        }
        links.push_back(std::move(link));
        linked.insert(symptom);
    }
    rel.insertMany(links);
    if (stop)
        throw store::Error(*stop);
}

} // namespace maintenance
