#include "seleccion.h"

#include "app/dialogs.h"
#include "catalogue/catalogo.h"
#include "processing.h"
#include "store/storeerror.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QShortcut>
#include <QTabWidget>

Seleccion::Seleccion(Catalogo &catalogo, const ControlesSeleccion &controles, QObject *parent)
    : QObject(parent), c(catalogo), w(controles)
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

void Seleccion::habilitar(bool on)
{
    for (QAbstractButton *b : {w.Procesar, w.Quitar, w.Reiniciar, w.BotAgrSintFlor})
        b->setEnabled(on);
}

void Seleccion::habilitarSegunSeleccion()
{
    habilitar(c.TRepS.recordCount() > 0);
}

void Seleccion::AgregarClick()
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
    } catch (const store::StoreError &) {
        c.TRepS.cancel();
        Aviso(QStringLiteral("El síntoma ya fue seleccionado"));
        return;
    }
    c.TSint.next();
    habilitar(true);
}

void Seleccion::QuitarClick()
{
    c.TRepS.remove();
    habilitarSegunSeleccion();
}

void Seleccion::ReiniciarClick()
{
    if (!Confirmar(QStringLiteral("Va a quitar TODOS los síntomas seleccionados ?")))
        return;
    c.vaciarSeleccion();
    habilitar(false);
}

void Seleccion::ProcesarClick()
{
    repertorio::procesarSeleccion(c);
    if (aplicarApariencia)
        aplicarApariencia();
    c.TSint.clearFilterCallback();
    w.Sintomas->setChecked(false);
    w.Ficha->setCurrentWidget(w.PagRep);
    IdiomaRepClick();
    c.TRepF.first();
}

void Seleccion::IdiomaRepClick()
{
    const int n = std::max(0, w.IdiomaRep->checkedId()) + 1;
    w.GrRepF->setColumnField(1, QStringLiteral("Nom%1").arg(n));
}

void Seleccion::mostrarAviso(bool visible)
{
    w.PanOK->setVisible(visible);
    w.PanBot->setVisible(!visible);
    w.GrFlor->setVisible(!visible);
    for (QShortcut *s : {m_enter, m_enterTeclado, m_escape})
        s->setEnabled(visible);
}

void Seleccion::Button2Click()
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

void Seleccion::LabVolverClick()
{
    mostrarAviso(false);
    c.TRelS.setMasterSource(&c.SRepS);
    w.Ficha->setCurrentWidget(w.PagRep);
}
