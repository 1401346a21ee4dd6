#include "repertorycopy.h"

#include "catalogue/catalogue.h"
#include "repertorytext.h"
#include "ui/messageboxes.h"

#include <QClipboard>
#include <QGuiApplication>

void BotCopiarClick(Catalogue &c, const QString &nameField)
{
    // Rows are read by position, as the grids paint them, so the cursors stay where they are.
    const store::View &chosen = c.TRepS;
    const int nom = chosen.fieldNumber(QStringLiteral("Nom"));
    QStringList symptoms;
    for (int row = 0; row < chosen.recordCount(); ++row)
        symptoms << chosen.valueAt(row, nom).toString();

    const store::View &result = c.TRepF;
    const int cant = result.fieldNumber(QStringLiteral("Cant"));
    const int systemColumn = result.fieldNumber(QStringLiteral("Tipo"));
    const int name = result.fieldNumber(nameField);
    std::vector<repertory::ExportedFlower> flowers;
    flowers.reserve(std::size_t(result.recordCount()));
    for (int row = 0; row < result.recordCount(); ++row)
        flowers.push_back({result.valueAt(row, cant).toInt(), result.valueAt(row, systemColumn).toString(),
                           result.valueAt(row, name).toString()});

    QGuiApplication::clipboard()->setText(repertory::repertoryText(symptoms, flowers));
    Aviso(QStringLiteral("El Repertorio fue copiado al portapapeles"));
}
