#include "printchoices.h"
#include "ui_printchoices.h"

#include "screencentring.h"

namespace {

// The lists' items, in the order the form gives them.
constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A4, QPageSize::Letter};
constexpr QPageLayout::Orientation kOrientations[] = {QPageLayout::Portrait, QPageLayout::Landscape};

template<typename T, std::size_t N>
int positionOf(const T (&items)[N], T item)
{
    for (std::size_t i = 0; i < N; ++i)
        if (items[i] == item)
            return int(i);
    return 0;
}

} // namespace

PrintChoices::PrintChoices(const PrintRequest &offered, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PrintChoices>())
{
    m_ui->setupUi(this);
    m_ui->patient->setText(offered.patient);
    m_ui->paper->setCurrentIndex(positionOf(kPapers, offered.paper));
    m_ui->orientation->setCurrentIndex(positionOf(kOrientations, offered.orientation));
    connect(m_ui->preview, &QPushButton::clicked, this, [this] { finish(PrintRequest::Action::Preview); });
    connect(m_ui->print, &QPushButton::clicked, this, [this] { finish(PrintRequest::Action::Print); });
    connect(m_ui->savePdf, &QPushButton::clicked, this, [this] { finish(PrintRequest::Action::SavePdf); });
    connect(m_ui->cancel, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
    centreOnScreen(*this);
}

PrintChoices::~PrintChoices() = default;

PrintRequest PrintChoices::request() const
{
    PrintRequest r;
    r.action = m_action;
    r.patient = m_ui->patient->text().trimmed();
    r.paper = kPapers[std::max(0, m_ui->paper->currentIndex())];
    r.orientation = kOrientations[std::max(0, m_ui->orientation->currentIndex())];
    return r;
}

void PrintChoices::finish(PrintRequest::Action action)
{
    m_action = action;
    accept();
}
