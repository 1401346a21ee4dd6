#include "selection.h"

#include "ui/messageboxes.h"
#include "catalogue/catalogue.h"
#include "processing.h"
#include "store/error.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QShortcut>
#include <QTabWidget>

Selection::Selection(Catalogue &catalogue, const SelectionControls &controles, QObject *parent)
    : QObject(parent), c(catalogue), w(controles)
{
    // Enter and Escape return from a result flower while the return notice shows, as the
    // window's default and cancel button; at any other time they belong to the focused control.
    QWidget *ventana = w.PanOK->window();
    m_enter = new QShortcut(QKeySequence(Qt::Key_Return), ventana);
    m_enterTeclado = new QShortcut(QKeySequence(Qt::Key_Enter), ventana);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), ventana);
    for (QShortcut *s : {m_enter, m_enterTeclado, m_escape}) {
        s->setEnabled(false);
        connect(s, &QShortcut::activated, w.EnterEscape, &QAbstractButton::click);
    }
    habilitar(false);
}

void Selection::habilitar(bool on)
{
    for (QAbstractButton *b : {w.Procesar, w.Quitar, w.Reiniciar, w.BotAgrSintFlor})
        b->setEnabled(on);
}

void Selection::enableBySelection()
{
    habilitar(c.TRepS.recordCount() > 0);
}

void Selection::AgregarClick()
{
    if (c.TSint.state() == store::State::Insert)
        c.TSint.post(); // a symptom still being typed receives its key first
    if (!c.TSint.currentSlot())
        return; // nothing shown in the list: there is no symptom to choose
    const qint32 clave = c.TSint.asInteger(QStringLiteral("Clave"));
    try {
        c.TRepS.append();
        c.TRepS.setInteger(QStringLiteral("Clave"), clave);
        c.TRepS.post();
    } catch (const store::Error &) {
        c.TRepS.cancel();
        Aviso(QStringLiteral("El síntoma ya fue seleccionado"));
        return;
    }
    c.TSint.next();
    habilitar(true);
}

void Selection::QuitarClick()
{
    c.TRepS.remove();
    enableBySelection();
}

void Selection::ReiniciarClick()
{
    if (!Confirmar(QStringLiteral("Va a quitar TODOS los síntomas seleccionados ?")))
        return;
    c.emptySelection();
    habilitar(false);
}

void Selection::ProcesarClick()
{
    repertory::processSelection(c);
    if (applyAppearance)
        applyAppearance();
    c.TSint.clearFilterCallback();
    w.Sintomas->setChecked(false);
    w.Ficha->setCurrentWidget(w.PagRep);
    IdiomaRepClick();
    c.TRepF.first();
}

void Selection::IdiomaRepClick()
{
    const int n = std::max(0, w.IdiomaRep->checkedId()) + 1;
    w.GrRepF->setColumnField(1, QStringLiteral("Nom%1").arg(n));
}

void Selection::mostrarAviso(bool visible)
{
    w.PanOK->setVisible(visible);
    w.PanBot->setVisible(!visible);
    w.GrFlor->setVisible(!visible);
    for (QShortcut *s : {m_enter, m_enterTeclado, m_escape})
        s->setEnabled(visible);
}

void Selection::Button2Click()
{
    mostrarAviso(true);
    const QString indice = c.TFlores.indexName();
    c.TFlores.setIndexName(QString());
    if (c.TRepF.currentSlot())
        c.TFlores.findKey(c.TRepF.asInteger(QStringLiteral("Clave")));
    c.TFlores.setIndexName(indice);
    c.TRelS.setMasterSource(&c.SSint);
    w.Ficha->setCurrentWidget(w.PagFlor);
    if (TFloresAfterScroll)
        TFloresAfterScroll();
}

void Selection::LabVolverClick()
{
    mostrarAviso(false);
    c.TRelS.setMasterSource(&c.SRepS);
    w.Ficha->setCurrentWidget(w.PagRep);
}
