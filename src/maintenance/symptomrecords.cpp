#include "symptomrecords.h"

#include "catalogueedits.h"
#include "maintenancequestions.h"

#include "catalogue/catalogue.h"
#include "ui/messageboxes.h"
#include "widgets/datagrid.h"

SymptomRecords::SymptomRecords(Catalogue &catalogue, DataGrid *GrSintomas, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_list(GrSintomas)
{
    connect(m_list, &DataGrid::keyPressed, this, &SymptomRecords::GrSintomasKeyDown);
    connect(m_list, &DataGrid::focusLeft, this, &SymptomRecords::GrSintomasExit);
}

void SymptomRecords::Button4Click()
{
    m_catalogue.TSint.append();
    CambiarNombreClick();
}

void SymptomRecords::CambiarNombreClick()
{
    if (!m_editMode)
        return;
    // The grid takes the focus first, so that the editor the options open keeps it.
    m_list->setFocus();
    m_list->setRowSelect(false);
    m_list->setCellEditing(true);
    m_list->setEditorAlwaysShown(true);
}

void SymptomRecords::GrSintomasKeyDown()
{
    // The row being typed keeps its editor; the next row the cursor reaches opens none at once.
    if (m_editMode)
        m_list->setEditorAlwaysShown(false);
}

void SymptomRecords::GrSintomasExit()
{
    if (!m_editMode)
        return;
    m_list->setCellEditing(false);
    m_list->setEditorAlwaysShown(false);
    m_list->setRowSelect(true);
}

void SymptomRecords::Button5Click()
{
    store::View &symptoms = m_catalogue.TSint;
    const QString name =
        symptoms.isOpen() && symptoms.currentSlotOrInsert() ? symptoms.asString(QStringLiteral("Nom")) : QString();
    if (!Confirmar(maintenance::symptomDeletionQuestion(name, m_catalogue.TRelS.recordCount())))
        return;
    maintenance::deleteSymptomWithLinks(m_catalogue);
}

void SymptomRecords::TSintAfterPost()
{
    store::View &symptoms = m_catalogue.TSint;
    if (!symptoms.isNull(QStringLiteral("Orden")))
        return;
    symptoms.edit();
    symptoms.setInteger(QStringLiteral("Orden"), symptoms.asInteger(QStringLiteral("Clave")));
    symptoms.post();
}
