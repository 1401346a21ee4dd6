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
    while (links.recordCount() > 0) {
        links.first();
        links.remove();
    }
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
    for (int row = 0; row < chosen.recordCount(); ++row) {
        const qint32 symptom = chosen.valueAt(row, key).toInt();
        // Looked up among all symptoms: the search may be hiding some of them.
        const QString order = CampoPorClave(c.TSintNames, symptom, QStringLiteral("Orden"));
        const std::optional<qint32> osint = integerOf(order);
        if (!osint)
            throw store::Error(store::notAnIntegerMessage(order));
        if (linked.contains(symptom))
            continue; // the store would refuse the pair: skipped without a word
        try {
            c.TRelF.append();
            c.TRelF.setInteger(QStringLiteral("KFlor"), flower);
            c.TRelF.setInteger(QStringLiteral("KSint"), symptom);
            c.TRelF.setInteger(QStringLiteral("OSint"), *osint);
            c.TRelF.post();
            linked.insert(symptom);
        } catch (const store::Error &) {
            c.TRelF.cancel();
        }
    }
}

} // namespace maintenance
