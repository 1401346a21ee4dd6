#include "flowerspage.h"
#include "ui_flowerspage.h"

#include "buttongroups.h"
#include "gridfitting.h"
#include "panelsizes.h"

#include "catalogue/catalogue.h"
#include "maintenance/flowerlinks.h"
#include "maintenance/flowerrecords.h"
#include "maintenance/flowerphoto.h"
#include "ui/buttonpictures.h"
#include "widgets/fieldlink.h"

#include <QMouseEvent>
#include <QShortcut>

namespace {

const ButtonPicture kPictures[] = {
    {"NuevaFlor", Picture::Add},       {"ElimFlor", Picture::Delete}, {"AgrSintFlor", Picture::AddToList},
    {"ElimSintFlor", Picture::RemoveFromList}, {"Copiar", Picture::Copy}, {"Pegar", Picture::Paste},
    {"Leer", Picture::Open},           {"Borrar", Picture::Trash},
};

constexpr int kReturnPictureSize = 64;
// Far below anything PanOK can show: the button works from the keyboard, out of sight.
constexpr int kOutOfSight = 1000;

} // namespace

FlowersPage::FlowersPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::FlowersPage>())
{
    ui->setupUi(this);
    m_panels = std::make_unique<SplitterPanels>(QList<QWidget *>{ui->PanFlor, ui->PanInfFlor, ui->PanMemo, ui->PanSupMemo});
    setButtonPictures(this, kPictures);
    ui->returnPicture->setPixmap(drawPicture(Picture::Back, kReturnPictureSize));
    numberButtons(ui->IdiomaButtons, 1);
    numberButtons(ui->AjusteButtons, 0);
    setPanelSizes({280, 154, 392, 236});
    // PanOK fills the flower-list panel through that panel's layout whenever it shows.
    ui->EnterEscape->move(ui->EnterEscape->x(), kOutOfSight);
    ui->LabBus->clear();
    ui->LabBus->hide();

    // Enter and Escape return from a result flower while the return notice shows, as the
    // window's default and cancel button; at any other time they belong to the focused control.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, ui->EnterEscape, &QAbstractButton::click);
        m_returnKeys << shortcut;
    }
    connect(ui->EnterEscape, &QAbstractButton::clicked, this, &FlowersPage::returnRequested);
    ui->LabVolver->installEventFilter(this);
    connect(ui->Splitter8, &QSplitter::splitterMoved, ui->GrFlor, &DataGrid::fitColumns);
    connect(ui->Splitter9, &QSplitter::splitterMoved, ui->GrSint, &DataGrid::fitColumns);
}

FlowersPage::~FlowersPage() = default;

void FlowersPage::setUp(Catalogue &c)
{
    m_catalogue = &c;
    ui->GrFlor->setDataSource(&c.SFlores, {{QStringLiteral("Nom1"), {}}, {QStringLiteral("AbrTipo"), QStringLiteral("Tipo")}});
    ui->GrFlor->setColumnHidden(1, true);
    ui->GrFlor->setColumnFitter(fitNameBesideAbbreviation);
    ui->GrSint->setDataSource(&c.SRelF, {{QStringLiteral("Sint"), {}}});
    ui->GrSint->setTitlesVisible(false);
    ui->GrSint->setColumnFitter(fitFirstColumn);

    new FieldLink(ui->EdNom1, &c.SFlores, QStringLiteral("Nom1"));
    new FieldLink(ui->DBEdit2, &c.SFlores, QStringLiteral("Nom2"));
    new FieldLink(ui->DBEdit3, &c.SFlores, QStringLiteral("Nom3"));
    new FieldLink(ui->DBMemo1, &c.SFlores, QStringLiteral("Memo1"));
    new FieldLink(ui->DBMemo2, &c.SFlores, QStringLiteral("Memo2"));
    m_photo = new FlowerPhoto({ui->ScrBox, ui->DBImage1, ui->AjusteButtons, ui->Copiar, ui->Pegar, ui->Leer, ui->Borrar},
                              c.SFlores, this);

    connect(ui->IdiomaButtons, &QButtonGroup::idClicked, this, &FlowersPage::Idioma1Click);

    m_records = new FlowerRecords(c, ui->GrFlor, ui->LabBus, ui->EdNom1, this);
    m_links = new FlowerLinks(c, this);
    connect(ui->NuevaFlor, &QAbstractButton::clicked, this, &FlowersPage::newFlowerRequested);
    connect(ui->ElimFlor, &QAbstractButton::clicked, m_records, &FlowerRecords::ElimFlorClick);
    connect(ui->AgrSintFlor, &QAbstractButton::clicked, m_links, &FlowerLinks::BotAgrSintFlorClick);
    connect(ui->ElimSintFlor, &QAbstractButton::clicked, m_links, &FlowerLinks::ElimSintFlorClick);
}

void FlowersPage::setEditMode(bool on)
{
    ui->PanEdSint->setVisible(on);
    ui->PanBotIm->setVisible(on);
}

void FlowersPage::NuevaFlorClick(int system)
{
    m_records->NuevaFlorClick(system);
}

void FlowersPage::Idioma1Click(int language)
{
    const QString field = QStringLiteral("Nom%1").arg(language);
    m_catalogue->setFlowerLanguage(language);
    ui->GrFlor->setColumnField(0, field);
    m_catalogue->TFlores.setIndexName(QStringLiteral("Por") + field);
    emit languageChosen(language);
}

void FlowersPage::applySystem(int system)
{
    m_system = quint8(system);
    const QString filter = system > 0 ? QStringLiteral("Tipo=%1").arg(system) : QString();
    ui->GrFlor->setColumnHidden(1, system != 0);
    store::View &flowers = m_catalogue->TFlores;
    const store::Bookmark flower = flowers.bookmark();
    flowers.setFilterText(filter);
    flowers.gotoBookmark(flower); // a flower of another system leaves the cursor where it lands
}

void FlowersPage::enter()
{
    ui->GrSint->fitColumns();
    ui->GrFlor->fitColumns();
    ui->GrFlor->setFocus();
    AjustarFoto();
}

void FlowersPage::TFloresAfterScroll()
{
    try {
        ui->LabCantSintFlor->setText(
            QStringLiteral("Cantidad de Síntomas: %1").arg(m_catalogue->TRelF.recordCount()));
    } catch (const std::exception &) {
        // The label keeps its last count.
    }
    m_photo->AjustarFoto();
}

void FlowersPage::AjustarFoto()
{
    // The frame takes its new size from layouts still waiting to run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    m_photo->AjustarFoto();
}

void FlowersPage::showResultFlower(std::optional<qint32> key)
{
    setReturnNoticeShown(true);
    store::View &flowers = m_catalogue->TFlores;
    const QString index = flowers.indexName();
    flowers.setIndexName(QString());
    if (key)
        flowers.findKey(*key);
    flowers.setIndexName(index);
}

void FlowersPage::hideReturnNotice()
{
    setReturnNoticeShown(false);
}

void FlowersPage::setReturnNoticeShown(bool shown)
{
    ui->PanOK->setVisible(shown);
    ui->GrFlor->setVisible(!shown);
    for (QShortcut *shortcut : m_returnKeys)
        shortcut->setEnabled(shown);
}

QList<int> FlowersPage::panelSizes() const
{
    return m_panels->sizes();
}

void FlowersPage::setPanelSizes(const QList<int> &sizes)
{
    m_panels->setSizes(sizes);
}

bool FlowersPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->LabVolver && event->type() == QEvent::MouseButtonRelease)
        emit returnRequested();
    return QWidget::eventFilter(watched, event);
}
