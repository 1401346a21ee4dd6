#include "flowerlistdisplay.h"

#include "catalogue.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QTabWidget>

FlowerListDisplay::FlowerListDisplay(Catalogue &catalogue, const FlowerListControls &controles, QObject *parent)
    : QObject(parent), c(catalogue), w(controles)
{
}

void FlowerListDisplay::Idioma1Click(int idioma)
{
    const QString campo = QStringLiteral("Nom%1").arg(idioma);
    w.GrFlor->setColumnField(0, campo);
    c.TFlores.setIndexName(QStringLiteral("Por") + campo);
    // The result list follows the flower page, but not the other way round.
    QAbstractButton *item = w.IdiomaRep->button(idioma - 1);
    if (item && !item->isChecked()) {
        item->setChecked(true);
        if (IdiomaRepClick)
            IdiomaRepClick();
    }
}

void FlowerListDisplay::CBSelChange(int sistema)
{
    w.Modificar->show();
    w.Sintomas->setChecked(false);
    m_sistema = quint8(sistema);
    const QString filtro = sistema > 0 ? QStringLiteral("Tipo=%1").arg(sistema) : QString();
    w.GrFlor->setColumnHidden(1, sistema != 0);
    const store::Bookmark flor = c.TFlores.bookmark();
    c.TFlores.setFilterText(filtro);
    c.TFlores.gotoBookmark(flor); // a flower of another system leaves the cursor where it lands
    // Every list of symptoms shows all of them again.
    c.TSint.clearFilterCallback();
    w.Ficha->setCurrentWidget(w.PagFlor);
    w.GrSint->fitColumns();
    w.GrFlor->fitColumns();
    if (AjustarFoto)
        AjustarFoto();
    w.GrFlor->setFocus();
}
