#include "aparienciaventana.h"

#include "apariencia.h"

#include <QAbstractScrollArea>
#include <QHeaderView>
#include <QTableView>
#include <QWidget>

namespace {

// The controls of each group, in the order they are coloured.
const char *const kPaneles[] = {
    "Panel2",  "Panel3",  "Panel4",   "Panel6",   "Panel8",        "Panel9",    "Panel10",     "Panel12",
    "Panel13", "Panel14", "Panel15",  "Panel17",  "Panel20",       "IdiomaRep", "PanIm",       "PanFlor",
    "PanBotIm", "Ajuste", "PanBotAgrSint", "PanEdSint", "PanCantSint", "PanInfSint",
};
const char *const kBarra[] = {"PanBot", "Panel18"};
const char *const kTitulos[] = {
    "Label1", "Label2", "LabCantSintFlor", "LabCantSint", "LabCantFlor", "Label10", "Label11", "Label12", "Label13",
};
const char *const kDatos[] = {
    "GrSint", "ScrBox", "DBMemo1", "DBMemo2", "DBImage1", "GrSintomas", "GrIdiomas", "GrSel", "GrFlor", "GrRep",
    "GrRepF", "DBGrid5",
};
const char *const kLetra[] = {
    "DBMemo1", "DBMemo2", "GrSint", "GrFlor", "GrSintomas", "GrSel", "GrIdiomas", "GrRep", "GrRepF", "DBGrid5",
};

template<std::size_t N>
QList<QWidget *> buscar(QWidget *ventana, const char *const (&nombres)[N])
{
    QList<QWidget *> controles;
    for (const char *nombre : nombres) {
        QWidget *w = ventana->findChild<QWidget *>(QLatin1String(nombre));
        if (!w)
            qFatal("La ventana no tiene el control %s", nombre);
        controles << w;
    }
    return controles;
}

void pintarTexto(QWidget *control, const QColor &color)
{
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, color);
    control->setPalette(p);
}

} // namespace

void pintarFondo(QWidget *control, QPalette::ColorRole r, const QColor &color)
{
    QPalette p = control->palette();
    p.setColor(r, color);
    control->setPalette(p);
    control->setAutoFillBackground(true);
    // A scroll area paints through its viewport.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control)) {
        QPalette v = area->viewport()->palette();
        v.setColor(r, color);
        v.setColor(area->viewport()->backgroundRole(), color);
        area->viewport()->setPalette(v);
    }
}

AparienciaPrincipal::AparienciaPrincipal(QWidget *ventana)
    : paneles(buscar(ventana, kPaneles)), barra(buscar(ventana, kBarra)), titulos(buscar(ventana, kTitulos)),
      datos(buscar(ventana, kDatos)), letra(buscar(ventana, kLetra))
{
}

void AparienciaPrincipal::ColorClick()
{
    EsquemaColor = apariencia::siguienteEsquema(EsquemaColor);
    AplicarColores();
}

void AparienciaPrincipal::MasClick()
{
    TamLetra = apariencia::masLetra(TamLetra);
    AplicarLetra();
}

void AparienciaPrincipal::MenosClick()
{
    if (const auto menor = apariencia::menosLetra(TamLetra)) {
        TamLetra = *menor;
        AplicarLetra();
    }
}

void AparienciaPrincipal::AplicarColores()
{
    // Outside the five schemes each panel keeps the colour it has.
    for (QWidget *w : paneles)
        pintarFondo(w, QPalette::Window, ColorPanel(EsquemaColor, w->palette().color(QPalette::Window)));
    const auto e = apariencia::esquema(EsquemaColor);
    if (!e)
        return;
    for (QWidget *w : barra)
        pintarFondo(w, QPalette::Window, apariencia::kBarraHerramientas);
    for (QWidget *w : titulos)
        pintarTexto(w, e->titulo);
    for (QWidget *w : datos) {
        // Lists and memos paint their background in the base role, panels and pictures in
        // the window role.
        pintarFondo(w, QPalette::Base, e->datos);
        pintarFondo(w, QPalette::Window, e->datos);
    }
}

void AparienciaPrincipal::AplicarLetra()
{
    TamLetra = apariencia::letraAplicable(TamLetra);
    for (QWidget *w : letra) {
        QFont f = w->font();
        f.setPointSize(TamLetra);
        w->setFont(f);
        // Grid rows follow the text's height.
        if (auto *grid = qobject_cast<QTableView *>(w))
            grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(f).height() + 4);
    }
}
