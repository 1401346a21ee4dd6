#include "symptomspage.h"
#include "ui_symptomspage.h"

#include "buttongroups.h"
#include "gridfitting.h"
#include "panelsizes.h"

#include "catalogue/catalogue.h"
#include "maintenance/flowerlinks.h"
#include "maintenance/symptomrecords.h"
#include "repertory/searchbox.h"
#include "repertory/selection.h"
#include "repertory/selectionstorage.h"
#include "repertory/tfselarch.h"
#include "ui/buttonpictures.h"
#include "widgets/fieldlink.h"

#include <QHeaderView>

namespace {

const ButtonPicture kPictures[] = {
    {"Button4", Picture::Add},       {"Button5", Picture::Delete},     {"CambiarNombre", Picture::Rename},
    {"Guardar", Picture::Save},      {"Abrir", Picture::Open},         {"Agregar", Picture::Add},
    {"Quitar", Picture::Remove},     {"Reiniciar", Picture::Restart},  {"Procesar", Picture::Process},
    {"BotAgrSintFlor", Picture::AddToList},
};

constexpr int kSystemColumnWidth = 52;

} // namespace

SymptomsPage::SymptomsPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::SymptomsPage>())
{
    ui->setupUi(this);
    m_panels = std::make_unique<SplitterPanels>(QList<QWidget *>{ui->PanInfSint, ui->PanDerSint});
    setButtonPictures(this, kPictures);
    numberButtons(ui->RGBusButtons, 0);
    setPanelSizes({218, 395});
    ui->Panel15->installEventFilter(this);
    connect(ui->Splitter7, &QSplitter::splitterMoved, this, &SymptomsPage::fitGrids);
}

SymptomsPage::~SymptomsPage() = default;

void SymptomsPage::setUp(Catalogue &c)
{
    m_catalogue = &c;
    const QString systemColumn = QStringLiteral("Tipo");
    ui->GrSintomas->setDataSource(&c.SSint, {{QStringLiteral("Nom"), QStringLiteral("Descripción de los Síntomas")}});
    ui->GrIdiomas->setDataSource(&c.SRelS, {{systemColumn, {}},
                                            {QStringLiteral("Nom1"), {}},
                                            {QStringLiteral("Nom2"), {}},
                                            {QStringLiteral("Nom3"), {}}});
    ui->GrSel->setDataSource(&c.SRepS, {{QStringLiteral("Nom"), {}}});
    for (DataGrid *grid : {ui->GrSintomas, ui->GrSel})
        grid->setTitlesVisible(false);
    ui->GrIdiomas->horizontalHeader()->resizeSection(0, kSystemColumnWidth);
    ui->GrSintomas->setColumnFitter(fitFirstColumn);
    ui->GrSel->setColumnFitter(fitFirstColumn);
    ui->GrIdiomas->setColumnFitter(fitThreeNames);
    new FieldLink(ui->flowerNameBox, &c.SFlores, QStringLiteral("Nom"));

    m_search = new SearchBox(c, ui->Ed, ui->RGBusButtons, this);
    m_selection = new Selection(c, this);
    m_chooser = std::make_unique<TFSelArch>();
    m_storage = new SelectionStorage(c, *m_chooser, ui->PanPac, ui->ChPac, ui->LabPac, this);

    connect(m_search, &SearchBox::searchApplied, this, &SymptomsPage::showCount);
    connect(ui->Agregar, &QAbstractButton::clicked, m_selection, &Selection::AgregarClick);
    connect(ui->GrSintomas, &QAbstractItemView::doubleClicked, m_selection, &Selection::AgregarClick);
    connect(ui->Quitar, &QAbstractButton::clicked, m_selection, &Selection::QuitarClick);
    connect(ui->Reiniciar, &QAbstractButton::clicked, m_selection, &Selection::ReiniciarClick);
    connect(ui->Procesar, &QAbstractButton::clicked, m_selection, &Selection::ProcesarClick);
    connect(m_selection, &Selection::selectionChanged, this, &SymptomsPage::enableSelectionButtons);
    connect(m_selection, &Selection::processed, this, &SymptomsPage::processed);
    connect(ui->Guardar, &QAbstractButton::clicked, m_storage, &SelectionStorage::GuardarClick);
    connect(ui->Abrir, &QAbstractButton::clicked, m_storage, &SelectionStorage::AbrirClick);
    connect(m_storage, &SelectionStorage::selectionLoaded, this,
            [this] { enableSelectionButtons(m_selection->hasSymptoms()); });
    enableSelectionButtons(false);

    m_records = new SymptomRecords(c, ui->GrSintomas, this);
    m_links = new FlowerLinks(c, this);
    c.TSint.afterPost = [this] {
        m_records->TSintAfterPost();
        // A renamed symptom may have left the search, or a new one joined it.
        showCount(m_catalogue->TSint.recordCount());
    };
    connect(ui->Button4, &QAbstractButton::clicked, m_records, &SymptomRecords::Button4Click);
    connect(ui->Button5, &QAbstractButton::clicked, m_records, &SymptomRecords::Button5Click);
    connect(ui->CambiarNombre, &QAbstractButton::clicked, m_records, &SymptomRecords::CambiarNombreClick);
    connect(ui->BotAgrSintFlor, &QAbstractButton::clicked, m_links, &FlowerLinks::BotAgrSintFlorClick);
}

void SymptomsPage::setEditMode(bool on)
{
    m_editMode = on;
    m_records->setEditMode(on);
    ui->PanBotEdSint->setVisible(on);
    // Linking the selection to a flower is offered here as well while the catalogue may change.
    ui->PanBotAgrSint->setVisible(on);
    ui->LabCantSint->setAlignment((on ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
}

void SymptomsPage::enter()
{
    fitGrids();
    ui->Ed->setFocus();
    m_search->EdChange();
    ui->PanBotAgrSint->setVisible(m_editMode);
}

void SymptomsPage::LeerPaciente()
{
    m_storage->LeerPaciente();
    emit patientShown(ui->PanPac->isHidden() ? QString() : ui->LabPac->text());
}

void SymptomsPage::TSintAfterScroll()
{
    try {
        ui->LabCantFlor->setText(
            QStringLiteral("Cantidad de Flores: %1").arg(m_catalogue->TRelS.recordCount()));
    } catch (const std::exception &) {
        // The label keeps its last count.
    }
}

QList<int> SymptomsPage::panelSizes() const
{
    return m_panels->sizes();
}

void SymptomsPage::setPanelSizes(const QList<int> &sizes)
{
    m_panels->setSizes(sizes);
}

bool SymptomsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->Panel15 && event->type() == QEvent::Resize)
        fitGrids();
    return QWidget::eventFilter(watched, event);
}

void SymptomsPage::fitGrids()
{
    try {
        for (DataGrid *grid : {ui->GrSintomas, ui->GrSel, ui->GrIdiomas})
            grid->fitColumns();
    } catch (const std::exception &) {
        // Columns left as they were are only cosmetic; dragging must never raise a box.
    }
}

void SymptomsPage::enableSelectionButtons(bool on)
{
    for (QAbstractButton *button : {ui->Procesar, ui->Quitar, ui->Reiniciar, ui->BotAgrSintFlor})
        button->setEnabled(on);
}

void SymptomsPage::showCount(int count)
{
    ui->Agregar->setEnabled(count > 0);
    ui->LabCantSint->setText(QStringLiteral("  Cantidad de Síntomas: %1").arg(count));
    TSintAfterScroll();
}
