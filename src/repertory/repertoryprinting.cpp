#include "repertoryprinting.h"

#include "casereport.h"
#include "ui/documentprinter.h"

#include <QDate>

void printRepertory(const Catalogue &c, const QString &nameField, const QString &nameTitle, const QString &patient,
                    QWidget *parent)
{
    // Read once: the preview draws again on every change of its settings.
    const repertory::CaseReport report = repertory::readCase(c, nameField, nameTitle);
    const QString title = QStringLiteral("Repertorio");
    const QDate today = QDate::currentDate();
    PrintRequest offered;
    offered.patient = patient;
    offered.paper = usualPaper();
    printDocument(parent, title, offered, [&](QPagedPaintDevice &device, const QString &name) {
        return repertory::printCase(device, report, {title, today, name});
    });
}
