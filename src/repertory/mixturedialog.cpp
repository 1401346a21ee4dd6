#include "mixturedialog.h"
#include "ui_mixturedialog.h"

#include "mixturereport.h"

#include "ui/messageboxes.h"
#include "ui/screencentring.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>

namespace {

// The limit chosen last, for the next suggestion of this run.
int &lastLimit()
{
    static int limit = repertory::kMixtureSize;
    return limit;
}

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    return item;
}

} // namespace

MixtureDialog::MixtureDialog(worksheet::Sheet sheet, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::MixtureDialog>()), m_sheet(std::move(sheet)),
      m_candidates(repertory::mixtureCandidates(m_sheet))
{
    m_ui->setupUi(this);
    m_ui->proposal->setColumnCount(3);
    m_ui->proposal->setHorizontalHeaderLabels({QStringLiteral("Flor"), QStringLiteral("Cant"),
                                               QStringLiteral("Síntomas que cubre")});
    m_ui->coverage->setColumnCount(2);
    m_ui->coverage->setHorizontalHeaderLabels({QStringLiteral("Síntoma"), QStringLiteral("Lo cubre")});
    m_ui->maxFlowers->setValue(lastLimit());
    connect(m_ui->maxFlowers, &QSpinBox::valueChanged, this, &MixtureDialog::suggest);
    connect(m_ui->copy, &QPushButton::clicked, this, &MixtureDialog::copyClick);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    suggest();
    centreOnScreen(*this);
}

MixtureDialog::~MixtureDialog() = default;

void MixtureDialog::suggest()
{
    const int limit = m_ui->maxFlowers->value();
    lastLimit() = limit;
    repertory::MixtureLimits limits;
    limits.maxFlowers = limit;
    m_suggestion = repertory::suggestMixture(m_sheet.symptoms(), m_candidates, limits);
    m_ui->method->setText(repertory::mixtureMethodText(m_suggestion, limit));
    m_ui->summary->setText(repertory::mixtureSummary(m_suggestion, m_sheet.symptoms()));

    m_ui->proposal->setRowCount(int(m_suggestion.flowers.size()));
    for (int row = 0; row < int(m_suggestion.flowers.size()); ++row) {
        const int flower = m_suggestion.flowers[std::size_t(row)];
        const int covers = int(std::count(m_suggestion.coveredBy.begin(), m_suggestion.coveredBy.end(), flower));
        m_ui->proposal->setItem(row, 0, cell(m_sheet.names[std::size_t(flower)]));
        m_ui->proposal->setItem(row, 1, cell(QString::number(m_sheet.counts[std::size_t(flower)]), Qt::AlignRight | Qt::AlignVCenter));
        m_ui->proposal->setItem(row, 2, cell(QString::number(covers), Qt::AlignRight | Qt::AlignVCenter));
    }
    m_ui->coverage->setRowCount(m_sheet.symptoms());
    for (int s = 0; s < m_sheet.symptoms(); ++s) {
        m_ui->coverage->setItem(s, 0, cell(m_sheet.references[s]));
        m_ui->coverage->setItem(s, 1, cell(repertory::coverText(m_suggestion, s, m_sheet.names)));
    }
    m_ui->proposal->resizeColumnsToContents();
    m_ui->coverage->horizontalHeader()->resizeSection(0, width() / 2);
}

void MixtureDialog::copyClick()
{
    QGuiApplication::clipboard()->setText(repertory::mixtureText(m_suggestion, m_sheet.references, m_sheet.names,
                                                                 m_sheet.counts, m_ui->maxFlowers->value()));
    Aviso(QStringLiteral("La sugerencia fue copiada al portapapeles"));
}
