#include "repertorytext.h"

namespace repertory {
namespace {

const QString kLineEnd = QStringLiteral("\r\n");

void addHeading(QString &text, const QString &title)
{
    text += title + kLineEnd;
    text += QString(title.size(), u'-') + kLineEnd;
}

} // namespace

QString repertoryText(const QStringList &symptoms, const std::vector<ExportedFlower> &flowers)
{
    QString text;
    addHeading(text, QStringLiteral("%1 Síntomas:").arg(symptoms.size()));
    for (const QString &s : symptoms)
        text += QStringLiteral("- ") + s + kLineEnd;
    text += QStringLiteral(" ") + kLineEnd;
    addHeading(text, QStringLiteral("%1 Plantas:").arg(flowers.size()));
    for (const ExportedFlower &f : flowers)
        text += QStringLiteral("(%1) [%2] %3").arg(f.count).arg(f.system, f.name) + kLineEnd;
    return text;
}

} // namespace repertory
