#include "mainwindowappearance.h"

#include "ui/appearance.h"
#include "ui/controlcolours.h"

#include <QAbstractScrollArea>
#include <QHeaderView>
#include <QTableView>
#include <QWidget>

namespace {

// The controls of each group, in the order they are coloured.
const char *const kPanels[] = {
    "Panel2",  "Panel3",  "Panel4",   "Panel6",   "Panel8",        "Panel9",    "Panel10",     "Panel12",
    "Panel13", "Panel14", "Panel15",  "Panel17",  "Panel20",       "IdiomaRep", "PanIm",       "PanFlor",
    "PanBotIm", "Ajuste", "PanBotAgrSint", "PanEdSint", "PanCantSint", "PanInfSint",
};
const char *const kToolbar[] = {"PanBot", "Panel18"};
const char *const kTitles[] = {
    "Label1", "Label2", "LabCantSintFlor", "LabCantSint", "LabCantFlor", "Label10", "Label11", "Label12", "Label13",
};
const char *const kData[] = {
    "GrSint", "ScrBox", "DBMemo1", "DBMemo2", "DBImage1", "GrSintomas", "GrIdiomas", "GrSel", "GrFlor", "GrRep",
    "GrRepF", "DBGrid5",
};
const char *const kTextSize[] = {
    "DBMemo1", "DBMemo2", "GrSint", "GrFlor", "GrSintomas", "GrSel", "GrIdiomas", "GrRep", "GrRepF", "DBGrid5",
};

template<std::size_t N>
QList<QWidget *> find(QWidget *window, const char *const (&names)[N])
{
    QList<QWidget *> controls;
    for (const char *name : names) {
        QWidget *w = window->findChild<QWidget *>(QLatin1String(name));
        if (!w)
            qFatal("the window has no control %s", name);
        controls << w;
    }
    return controls;
}

} // namespace

MainWindowAppearance::MainWindowAppearance(QWidget *window)
    : panels(find(window, kPanels)), toolbar(find(window, kToolbar)), titles(find(window, kTitles)),
      data(find(window, kData)), textSize(find(window, kTextSize))
{
}

void MainWindowAppearance::ColorClick()
{
    EsquemaColor = appearance::nextScheme(EsquemaColor);
    AplicarColores();
}

void MainWindowAppearance::MasClick()
{
    TamLetra = appearance::largerText(TamLetra);
    AplicarLetra();
}

void MainWindowAppearance::MenosClick()
{
    if (const auto smaller = appearance::smallerText(TamLetra)) {
        TamLetra = *smaller;
        AplicarLetra();
    }
}

void MainWindowAppearance::AplicarColores()
{
    // Outside the five schemes each panel keeps the colour it has.
    for (QWidget *w : panels)
        paintBackground(w, QPalette::Window, ColorPanel(EsquemaColor, w->palette().color(QPalette::Window)));
    const auto e = appearance::scheme(EsquemaColor);
    if (!e)
        return;
    for (QWidget *w : toolbar)
        paintBackground(w, QPalette::Window, appearance::kToolbarColour);
    for (QWidget *w : titles)
        paintText(w, e->heading);
    for (QWidget *w : data) {
        // Lists and memos paint their background in the base role, panels and pictures in
        // the window role.
        paintBackground(w, QPalette::Base, e->data);
        paintBackground(w, QPalette::Window, e->data);
    }
}

void MainWindowAppearance::AplicarLetra()
{
    TamLetra = appearance::applicableTextSize(TamLetra);
    for (QWidget *w : textSize) {
        QFont f = w->font();
        f.setPointSize(TamLetra);
        w->setFont(f);
        // Grid rows follow the text's height. Setting a height visits every row of the grid,
        // hundreds of thousands in the symptom list: only a new height is set.
        if (auto *grid = qobject_cast<QTableView *>(w)) {
            const int height = QFontMetrics(f).height() + 4;
            if (grid->verticalHeader()->defaultSectionSize() != height)
                grid->verticalHeader()->setDefaultSectionSize(height);
        }
    }
}
