#include "repertorycopy.h"

#include "ui/messageboxes.h"
#include "catalogue/catalogue.h"
#include "repertorytext.h"
#include "widgets/datagrid.h"

#include <QClipboard>
#include <QGuiApplication>

void BotCopiarClick(Catalogue &c, const DataGrid &GrRepF)
{
    // Rows are read by position, as the grids paint them, so the cursors stay where they are.
    const store::View &sel = c.TRepS;
    const int nom = sel.fieldNumber(QStringLiteral("Nom"));
    QStringList sintomas;
    for (int fila = 0; fila < sel.recordCount(); ++fila)
        sintomas << sel.valueAt(fila, nom).toString();

    const store::View &res = c.TRepF;
    const int cant = res.fieldNumber(QStringLiteral("Cant"));
    const int tipo = res.fieldNumber(QStringLiteral("Tipo"));
    const int nombre = res.fieldNumber(GrRepF.tableModel()->columnField(1));
    std::vector<repertory::ExportedFlower> flores;
    flores.reserve(std::size_t(res.recordCount()));
    for (int fila = 0; fila < res.recordCount(); ++fila)
        flores.push_back({res.valueAt(fila, cant).toInt(), res.valueAt(fila, tipo).toString(),
                          res.valueAt(fila, nombre).toString()});

    QGuiApplication::clipboard()->setText(repertory::repertoryText(sintomas, flores));
    Aviso(QStringLiteral("El Repertorio fue copiado al portapapeles"));
}
