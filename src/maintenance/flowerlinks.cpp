#include "flowerlinks.h"

#include "catalogueedits.h"
#include "maintenancequestions.h"

#include "catalogue/catalogue.h"
#include "ui/messageboxes.h"

FlowerLinks::FlowerLinks(Catalogue &catalogue, QObject *parent) : QObject(parent), m_catalogue(catalogue) { }

void FlowerLinks::BotAgrSintFlorClick()
{
    const store::View &flowers = m_catalogue.TFlores;
    const QString name = flowers.currentSlotOrInsert() ? flowers.asString(QStringLiteral("Nom")) : QString();
    if (!Confirmar(maintenance::linkBatchQuestion(m_catalogue.TRepS.recordCount(), name)))
        return;
    maintenance::linkSelectionToFlower(m_catalogue);
}

void FlowerLinks::ElimSintFlorClick()
{
    const store::View &links = m_catalogue.TRelF;
    const QString symptom = links.currentSlot() ? links.asString(QStringLiteral("Sint")) : QString();
    const store::View &flowers = m_catalogue.TFlores;
    const QString spanishName = flowers.currentSlotOrInsert() ? flowers.asString(QStringLiteral("Nom1")) : QString();
    if (!Confirmar(maintenance::linkRemovalQuestion(symptom, spanishName)))
        return;
    m_catalogue.TRelF.remove();
}
