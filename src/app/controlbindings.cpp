#include "controlbindings.h"
#include "ui_tform1.h"

#include <QHeaderView>

#include "catalogue/catalogue.h"
#include "panelsizes.h"
#include "widgets/fieldlink.h"

void bindControls(Ui::TForm1 &ui, Catalogue &c)
{
    const QString tipo = QStringLiteral("Tipo");
    const QList<GridColumn> tresNombres{{tipo, {}}, {QStringLiteral("Nom1"), {}}, {QStringLiteral("Nom2"), {}},
                                        {QStringLiteral("Nom3"), {}}};

    ui.GrFlor->setDataSource(&c.SFlores, {{QStringLiteral("Nom1"), {}}, {QStringLiteral("AbrTipo"), tipo}});
    ui.GrFlor->setColumnHidden(1, true);
    ui.GrSint->setDataSource(&c.SRelF, {{QStringLiteral("Sint"), {}}});
    ui.GrSintomas->setDataSource(&c.SSint, {{QStringLiteral("Nom"), QStringLiteral("Descripción de los Síntomas")}});
    ui.GrIdiomas->setDataSource(&c.SRelS, tresNombres);
    ui.GrSel->setDataSource(&c.SRepS, {{QStringLiteral("Nom"), {}}});
    ui.GrRep->setDataSource(&c.SRepS, {{QStringLiteral("Nom"), {}}});
    ui.DBGrid5->setDataSource(&c.SRelS, tresNombres);
    ui.GrRepF->setDataSource(&c.SRepF, {{tipo, {}}, {QStringLiteral("Nom1"), {}}, {QStringLiteral("Cant"), {}}});

    for (DataGrid *sinTitulos : {ui.GrSint, ui.GrSintomas, ui.GrSel, ui.GrRep})
        sinTitulos->setTitlesVisible(false);
    // Abbreviations and counts are short; the names take the room they leave.
    for (DataGrid *conTipo : {ui.GrIdiomas, ui.DBGrid5, ui.GrRepF})
        conTipo->horizontalHeader()->resizeSection(0, 52);
    ui.GrRepF->horizontalHeader()->resizeSection(2, 44);
    for (DataGrid *g : {ui.GrFlor, ui.GrSint, ui.GrSintomas, ui.GrIdiomas, ui.GrSel, ui.GrRep, ui.DBGrid5, ui.GrRepF})
        g->setColumnFitter(fitGridColumns);

    new FieldLink(ui.EdNom1, &c.SFlores, QStringLiteral("Nom1"));
    new FieldLink(ui.DBEdit2, &c.SFlores, QStringLiteral("Nom2"));
    new FieldLink(ui.DBEdit3, &c.SFlores, QStringLiteral("Nom3"));
    new FieldLink(ui.DBMemo1, &c.SFlores, QStringLiteral("Memo1"));
    new FieldLink(ui.DBMemo2, &c.SFlores, QStringLiteral("Memo2"));
    new FieldLink(ui.DBImage1, &c.SFlores, QStringLiteral("Foto"));
    new FieldLink(ui.flowerNameBox, &c.SFlores, QStringLiteral("Nom"));
}
