#include "repertorypage.h"
#include "ui_repertorypage.h"

#include "buttongroups.h"
#include "gridfitting.h"
#include "panelsizes.h"

#include "catalogue/catalogue.h"
#include "repertory/mixturedialog.h"
#include "repertory/repertorycopy.h"
#include "repertory/repertoryprinting.h"
#include "repertory/tfplanrep.h"
#include "ui/buttonpictures.h"

#include <QHeaderView>

namespace {

const ButtonPicture kPictures[] = {
    {"Button2", Picture::Flower},
    {"BotCopiar", Picture::Copy},
    {"printCase", Picture::Print},
    {"PlanRep", Picture::Worksheet},
    {"suggestMixture", Picture::Flower},
};

constexpr int kSystemColumnWidth = 52;
constexpr int kCountColumnWidth = 44;

} // namespace

RepertoryPage::RepertoryPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::RepertoryPage>())
{
    ui->setupUi(this);
    m_panels = std::make_unique<SplitterPanels>(QList<QWidget *>{ui->GrRep, ui->PanDerRep});
    setButtonPictures(this, kPictures);
    numberButtons(ui->IdiomaRepButtons, 0);
    setPanelSizes({327, 296});
}

RepertoryPage::~RepertoryPage() = default;

void RepertoryPage::setUp(Catalogue &c)
{
    m_catalogue = &c;
    const QString systemColumn = QStringLiteral("Tipo");
    ui->GrRep->setDataSource(&c.SRepS, {{QStringLiteral("Nom"), {}}});
    ui->GrRep->setTitlesVisible(false);
    ui->GrRep->setColumnFitter(fitFirstColumn);
    ui->DBGrid5->setDataSource(&c.SRelS, {{systemColumn, {}},
                                          {QStringLiteral("Nom1"), {}},
                                          {QStringLiteral("Nom2"), {}},
                                          {QStringLiteral("Nom3"), {}}});
    ui->DBGrid5->setColumnFitter(fitThreeNames);
    ui->GrRepF->setDataSource(&c.SRepF, {{systemColumn, {}}, {QStringLiteral("Nom1"), {}}, {QStringLiteral("Cant"), {}}});
    ui->GrRepF->setColumnFitter(fitNameBetween);
    // Abbreviations and counts are short; the names take the room they leave.
    for (DataGrid *grid : {ui->DBGrid5, ui->GrRepF})
        grid->horizontalHeader()->resizeSection(0, kSystemColumnWidth);
    ui->GrRepF->horizontalHeader()->resizeSection(2, kCountColumnWidth);

    connect(ui->IdiomaRepButtons, &QButtonGroup::idClicked, this, &RepertoryPage::IdiomaRepClick);
    connect(ui->Button2, &QAbstractButton::clicked, this, &RepertoryPage::flowerRequested);
    connect(ui->GrRepF, &QAbstractItemView::doubleClicked, this, &RepertoryPage::flowerRequested);
    connect(ui->BotCopiar, &QAbstractButton::clicked, this, &RepertoryPage::BotCopiarClick);
    connect(ui->PlanRep, &QAbstractButton::clicked, this, &RepertoryPage::PlanRepClick);
    connect(ui->printCase, &QAbstractButton::clicked, this, &RepertoryPage::printCaseClick);
    connect(ui->suggestMixture, &QAbstractButton::clicked, this, &RepertoryPage::suggestMixtureClick);
}

void RepertoryPage::IdiomaRepClick()
{
    const int n = std::max(0, ui->IdiomaRepButtons->checkedId()) + 1;
    ui->GrRepF->setColumnField(1, QStringLiteral("Nom%1").arg(n));
}

void RepertoryPage::followLanguage(int language)
{
    QAbstractButton *item = ui->IdiomaRepButtons->button(language - 1);
    if (item && !item->isChecked()) {
        item->setChecked(true);
        IdiomaRepClick();
    }
}

QString RepertoryPage::nameField() const
{
    return ui->GrRepF->tableModel()->columnField(1);
}

QList<int> RepertoryPage::panelSizes() const
{
    return m_panels->sizes();
}

void RepertoryPage::setPanelSizes(const QList<int> &sizes)
{
    m_panels->setSizes(sizes);
}

void RepertoryPage::setPatient(const QString &name)
{
    m_patient = name;
}

void RepertoryPage::BotCopiarClick()
{
    ::BotCopiarClick(*m_catalogue, nameField());
}

void RepertoryPage::PlanRepClick()
{
    ::PlanRepClick(*m_catalogue, nameField(), window(), m_patient);
}

void RepertoryPage::suggestMixtureClick()
{
    // The sheet in the result's order: the suggestion breaks its ties by that order.
    MixtureDialog dialog(worksheet::buildSheet(*m_catalogue, nameField()), window());
    dialog.exec();
}

void RepertoryPage::printCaseClick()
{
    const QString nameTitle = ui->GrRepF->model()->headerData(1, Qt::Horizontal).toString();
    printRepertory(*m_catalogue, nameField(), nameTitle, m_patient, window());
}
