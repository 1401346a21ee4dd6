#include "selection.h"

#include "catalogue/catalogue.h"
#include "processing.h"
#include "store/error.h"
#include "ui/messageboxes.h"

Selection::Selection(Catalogue &catalogue, QObject *parent) : QObject(parent), m_catalogue(catalogue) { }

bool Selection::hasSymptoms() const
{
    return m_catalogue.TRepS.isOpen() && m_catalogue.TRepS.recordCount() > 0;
}

void Selection::AgregarClick()
{
    Catalogue &c = m_catalogue;
    if (c.TSint.state() == store::State::Insert)
        c.TSint.post(); // a symptom still being typed receives its key first
    if (!c.TSint.currentSlot())
        return; // nothing shown in the list: there is no symptom to choose
    const qint32 key = c.TSint.asInteger(QStringLiteral("Clave"));
    try {
        c.TRepS.append();
        c.TRepS.setInteger(QStringLiteral("Clave"), key);
        c.TRepS.post();
    } catch (const store::Error &) {
        c.TRepS.cancel();
        Aviso(QStringLiteral("El síntoma ya fue seleccionado"));
        return;
    }
    c.TSint.next();
    emit selectionChanged(true);
}

void Selection::QuitarClick()
{
    m_catalogue.TRepS.remove();
    emit selectionChanged(hasSymptoms());
}

void Selection::ReiniciarClick()
{
    if (!Confirmar(QStringLiteral("Va a quitar TODOS los síntomas seleccionados ?")))
        return;
    m_catalogue.emptySelection();
    emit selectionChanged(false);
}

void Selection::ProcesarClick()
{
    repertory::processSelection(m_catalogue);
    emit processed();
}
