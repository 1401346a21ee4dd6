#include "flowerrecords.h"

#include "catalogueedits.h"
#include "maintenancequestions.h"

#include "catalogue/catalogue.h"
#include "ui/messageboxes.h"
#include "widgets/datagrid.h"

#include <QApplication>
#include <QLabel>

FlowerRecords::FlowerRecords(Catalogue &catalogue, DataGrid *GrFlor, QLabel *LabBus, QWidget *EdNom1, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_list(GrFlor), m_typed(LabBus), m_spanishName(EdNom1)
{
    connect(m_list, &DataGrid::keyPressed, this, &FlowerRecords::GrFlorKeyPress);
    connect(m_list, &DataGrid::focusLeft, this, &FlowerRecords::GrFlorExit);
}

void FlowerRecords::NuevaFlorClick(int system)
{
    if (system < 1) {
        Aviso(QStringLiteral("Deberá seleccionar un Sistema Floral para ingresar nuevas flores"));
        return;
    }
    store::View &flowers = m_catalogue.TFlores;
    flowers.append();
    flowers.setInteger(QStringLiteral("Tipo"), system);
    m_spanishName->setFocus();
}

void FlowerRecords::ElimFlorClick()
{
    store::View &flowers = m_catalogue.TFlores;
    const QString name = flowers.isOpen() && flowers.currentSlotOrInsert() ? flowers.asString(QStringLiteral("Nom")) : QString();
    if (!Confirmar(maintenance::flowerDeletionQuestion(name, m_catalogue.TRelF.recordCount())))
        return;
    maintenance::deleteFlowerWithLinks(m_catalogue);
}

void FlowerRecords::GrFlorKeyPress(int key, const QString &text)
{
    QString typed = m_typed->text();
    if (key == Qt::Key_Backspace) {
        typed.chop(1);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        endSearch();
        return;
    } else if (!text.isEmpty() && text.at(0).isPrint()) {
        typed += text;
    } else {
        return; // keys that type nothing move the list as they always do
    }
    m_typed->show();
    m_typed->setText(typed);
    try {
        m_catalogue.TFlores.findNearest(typed);
    } catch (const std::exception &) {
        QApplication::beep();
        endSearch();
    }
}

void FlowerRecords::GrFlorExit()
{
    endSearch();
}

void FlowerRecords::endSearch()
{
    m_typed->clear();
    m_typed->hide();
}
