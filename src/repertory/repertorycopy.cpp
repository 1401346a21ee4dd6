#include "repertorycopy.h"

#include "casereport.h"
#include "ui/messageboxes.h"

#include <QClipboard>
#include <QGuiApplication>

void BotCopiarClick(Catalogue &c, const QString &nameField)
{
    const repertory::CaseReport shown = repertory::readCase(c, nameField, {});
    QGuiApplication::clipboard()->setText(repertory::repertoryText(shown.symptoms, shown.flowers));
    Aviso(QStringLiteral("El Repertorio fue copiado al portapapeles"));
}
