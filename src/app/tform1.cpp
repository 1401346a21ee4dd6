#include "tform1.h"
#include "ui_tform1.h"

#include "ui/screencentring.h"

#include "controlbindings.h"
#include "ui/application.h"
#include "ui/buttonpictures.h"
#include "ui/logoartwork.h"
#include "panelsizes.h"
#include "startpageplacement.h"
#include "tflogo.h"

#include "catalogue/flowerlistdisplay.h"
#include "repertory/searchbox.h"
#include "repertory/selection.h"
#include "repertory/selectionstorage.h"
#include "repertory/repertorycopy.h"
#include "repertory/tfselarch.h"
#include "repertory/tfplanrep.h"
#include "mainwindowappearance.h"
#include "widgets/datagrid.h"

#include <QCloseEvent>
#include <QScreen>
#include <QTabBar>
#include <QThread>

#include <exception>
#include <utility>

namespace {

const ButtonPicture kPictures[] = {
    {"Ayuda", Picture::Help},
    {"color", Picture::Colours},
    {"Mas", Picture::LargerText},
    {"Menos", Picture::SmallerText},
    {"cerrar", Picture::Exit},
    {"NuevaFlor", Picture::Add},
    {"ElimFlor", Picture::Delete},
    {"AgrSintFlor", Picture::AddToList},
    {"ElimSintFlor", Picture::RemoveFromList},
    {"Copiar", Picture::Copy},
    {"Pegar", Picture::Paste},
    {"Leer", Picture::Open},
    {"Borrar", Picture::Trash},
    {"Button4", Picture::Add},
    {"Button5", Picture::Delete},
    {"CambiarNombre", Picture::Rename},
    {"Guardar", Picture::Save},
    {"Abrir", Picture::Open},
    {"Agregar", Picture::Add},
    {"Quitar", Picture::Remove},
    {"Reiniciar", Picture::Restart},
    {"Procesar", Picture::Process},
    {"BotAgrSintFlor", Picture::AddToList},
    {"Button2", Picture::Flower},
    {"BotCopiar", Picture::Copy},
    {"PlanRep", Picture::Worksheet},
    {"BitBtn1", Picture::Yes},
    {"BitBtn2", Picture::No},
};

constexpr int kToolbarLogoHeight = 31;
constexpr int kReturnPictureSize = 64;
// Far below anything PanOK can show: the button works from the keyboard, out of sight.
constexpr int kOutOfSight = 1000;
constexpr int kGoodbyeMilliseconds = 1000;

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    prepararControles();
    crearOperaciones();
    conectarControles();
    FormCreate();
}

TForm1::~TForm1()
{
    // The controls read the catalogue while they go, so they go first.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

void TForm1::prepararControles()
{
    setWindowIcon(applicationIcon());
    setButtonPictures(this, kPictures);
    ui->Image3->setPixmap(QPixmap::fromImage(drawSmallLogo(kToolbarLogoHeight)));
    ui->Im0->setPixmap(QPixmap::fromImage(drawLogo()));
    ui->returnPicture->setPixmap(drawPicture(Picture::Back, kReturnPictureSize));

    // Buttons carry the numbers by which their group is read: the language buttons their
    // language, the other groups their position.
    numberButtons(ui->IdiomaButtons, 1);
    numberButtons(ui->AjusteButtons, 0);
    numberButtons(ui->RGBusButtons, 0);
    numberButtons(ui->IdiomaRepButtons, 0);

    const std::pair<QWidget *, int> firstSizes[] = {
        {ui->PanFlor, 280},    {ui->PanInfFlor, 154}, {ui->PanMemo, 392}, {ui->PanSupMemo, 236},
        {ui->PanInfSint, 218}, {ui->PanDerSint, 395}, {ui->GrRep, 327},   {ui->PanDerRep, 296},
    };
    for (auto [panel, extent] : firstSizes)
        setPanelExtent(panel, extent);

    ui->PagLogo->installEventFilter(this);
    ui->Panel15->installEventFilter(this);
    centreOnScreen(*this);
}

void TForm1::crearOperaciones()
{
    DataGrid::setErrorHandler(showError);
    bindControls(*ui, catalogue);
    catalogue.flowerLanguage = [this] { return flowerLanguage(); };
    catalogue.TSint.afterScroll = [this] { TSintAfterScroll(); };
    catalogue.TFlores.afterScroll = [this] { TFloresAfterScroll(); };

    SelectionControls sel;
    sel.Agregar = ui->Agregar;
    sel.Quitar = ui->Quitar;
    sel.Reiniciar = ui->Reiniciar;
    sel.Procesar = ui->Procesar;
    sel.BotAgrSintFlor = ui->BotAgrSintFlor;
    sel.Sintomas = ui->Sintomas;
    sel.EnterEscape = ui->EnterEscape;
    sel.Ficha = ui->Ficha;
    sel.PagFlor = ui->PagFlor;
    sel.PagRep = ui->PagRep;
    sel.PanOK = ui->PanOK;
    sel.PanBot = ui->PanBot;
    sel.GrFlor = ui->GrFlor;
    sel.GrRepF = ui->GrRepF;
    sel.IdiomaRep = ui->IdiomaRepButtons;
    seleccion = std::make_unique<Selection>(catalogue, sel);
    seleccion->applyAppearance = [this] {
        AplicarColores();
        AplicarLetra();
    };
    seleccion->TFloresAfterScroll = [this] { TFloresAfterScroll(); };

    buscador = std::make_unique<SearchBox>(catalogue, SearchControls{ui->Ed, ui->RGBusButtons, ui->LabCantSint, ui->Agregar});
    buscador->TSintAfterScroll = [this] { TSintAfterScroll(); };

    presentacion = std::make_unique<FlowerListDisplay>(
        catalogue, FlowerListControls{ui->GrFlor, ui->GrSint, ui->IdiomaRepButtons, ui->Modificar, ui->Sintomas,
                                        ui->Ficha, ui->PagFlor});
    presentacion->IdiomaRepClick = [this] { seleccion->IdiomaRepClick(); };
    appearance = std::make_unique<MainWindowAppearance>(this);

    selArch = std::make_unique<TFSelArch>();
    archivos = std::make_unique<SelectionStorage>(catalogue, *seleccion, *selArch,
                                                    PatientControls{ui->PanPac, ui->ChPac, ui->LabPac});
}

int TForm1::flowerLanguage() const
{
    return ui->Idioma2->isChecked() ? 2 : (ui->Idioma3->isChecked() ? 3 : 1);
}

void TForm1::conectarControles()
{
    Selection *s = seleccion.get();
    connect(ui->Agregar, &QAbstractButton::clicked, s, &Selection::AgregarClick);
    connect(ui->GrSintomas, &QAbstractItemView::doubleClicked, s, &Selection::AgregarClick);
    connect(ui->Quitar, &QAbstractButton::clicked, s, &Selection::QuitarClick);
    connect(ui->Reiniciar, &QAbstractButton::clicked, s, &Selection::ReiniciarClick);
    connect(ui->Procesar, &QAbstractButton::clicked, s, &Selection::ProcesarClick);
    connect(ui->IdiomaRepButtons, &QButtonGroup::idClicked, s, &Selection::IdiomaRepClick);
    connect(ui->Button2, &QAbstractButton::clicked, s, &Selection::Button2Click);
    connect(ui->GrRepF, &QAbstractItemView::doubleClicked, s, &Selection::Button2Click);
    connect(ui->EnterEscape, &QAbstractButton::clicked, s, &Selection::LabVolverClick);
    ui->LabVolver->installEventFilter(this);
    connect(ui->IdiomaButtons, &QButtonGroup::idClicked, presentacion.get(), &FlowerListDisplay::Idioma1Click);
    connect(ui->CBSel, &QComboBox::activated, presentacion.get(), &FlowerListDisplay::CBSelChange);
    connect(ui->Guardar, &QAbstractButton::clicked, archivos.get(), &SelectionStorage::GuardarClick);
    connect(ui->Abrir, &QAbstractButton::clicked, archivos.get(), &SelectionStorage::AbrirClick);
    connect(ui->BotCopiar, &QAbstractButton::clicked, this, [this] { BotCopiarClick(catalogue, *ui->GrRepF); });

    connect(ui->Sintomas, &QAbstractButton::clicked, this, [this] { SintomasClick(ui->Sintomas); });
    connect(ui->cerrar, &QAbstractButton::clicked, this, &TForm1::CerrarClick);
    connect(ui->color, &QAbstractButton::clicked, this, &TForm1::ColorClick);
    connect(ui->Mas, &QAbstractButton::clicked, this, &TForm1::MasClick);
    connect(ui->Menos, &QAbstractButton::clicked, this, &TForm1::MenosClick);
    connect(ui->PlanRep, &QAbstractButton::clicked, this, &TForm1::PlanRepClick);
    connect(ui->BitBtn1, &QAbstractButton::clicked, this, &TForm1::BitBtn1Click);
    connect(ui->BitBtn2, &QAbstractButton::clicked, this, &TForm1::BitBtn2Click);
    connect(ui->Splitter7, &QSplitter::splitterMoved, this, &TForm1::Splitter7Moved);
    connect(ui->Splitter8, &QSplitter::splitterMoved, this, &TForm1::Splitter8Moved);
    connect(ui->Splitter9, &QSplitter::splitterMoved, this, &TForm1::Splitter9Moved);
}

void TForm1::FormCreate()
{
    logo = std::make_unique<TFLogo>();
    logo->showAndPaint();
    ColorClick();
    entregarPassword();
    // PanOK fills the flower-list panel through that panel's layout whenever it shows.
    ui->EnterEscape->move(ui->EnterEscape->x(), kOutOfSight);
    // Stepping twice from no scheme at all leaves the second scheme in force.
    ColorClick();
}

void TForm1::FormShow()
{
    ui->LabBus->clear();
    ui->LabBus->hide();
    try {
        abrirTablas();
    } catch (...) {
        // Without its tables the window can only be left: the pages stay out of reach.
        ui->Ficha->tabBar()->hide();
        ui->Ficha->setCurrentWidget(ui->PagLogo);
        ui->CBSel->setEnabled(false);
        ui->Sintomas->setEnabled(false);
        throw;
    }
    AplicarColores();
    AplicarLetra();
    ui->Ficha->tabBar()->hide();
    ui->Ficha->setCurrentWidget(ui->PagLogo);
    PonerEdicion(false);
}

void TForm1::FormActivate()
{
    leerConfiguracion();
}

bool TForm1::FormCloseQuery() const
{
    return !ui->PanAband->isHidden();
}

void TForm1::FormClose()
{
    escribirConfiguracion();
    hide();
    mostrarLogoUnSegundo();
    cerrarTablas();
    ui->Ficha->setCurrentWidget(ui->PagLogo);
}

void TForm1::mostrarLogoUnSegundo()
{
    logo->showAndPaint();
    QThread::msleep(kGoodbyeMilliseconds);
    logo->close();
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring from the task bar is not a new showing.
    if (!event->spontaneous())
        FormShow();
}

void TForm1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // The close box and every other request are refused silently: the application ends
    // only through the leave panel.
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == ui->PagLogo && (type == QEvent::Show || type == QEvent::Resize))
        PagLogoShow();
    else if (watched == ui->Panel15 && type == QEvent::Resize)
        Splitter7Moved();
    else if (watched == ui->LabVolver && type == QEvent::MouseButtonRelease)
        seleccion->LabVolverClick();
    return QWidget::eventFilter(watched, event);
}

void TForm1::SintomasClick(const QObject *causa)
{
    ui->Modificar->show();
    try {
        grabarFlorPendiente();
    } catch (const std::exception &) {
        // A flower that cannot be stored stays in editing; the user sees it on coming back.
    }
    ponerMaestroSintomas();
    ui->Ficha->setCurrentWidget(ui->PagSint);
    ajustarGrillasSintomas();
    quitarFiltroSistema();
    ui->Ed->setFocus();
    EdChange();
    // Adding the selection to a flower is offered on the flower page only.
    ui->PanBotAgrSint->hide();
    if (causa == ui->Sintomas)
        ui->Sintomas->setChecked(true);
    ui->CBSel->setShownText(QStringLiteral("Seleccione"));
    LeerPaciente();
}

void TForm1::CerrarClick()
{
    if (ui->Ficha->currentWidget() == ui->PagRep) {
        SintomasClick(ui->Sintomas);
        return;
    }
    paginaAnterior = ui->Ficha->currentWidget();
    ui->PanBot->hide();
    ui->PanAband->show();
    ui->Ficha->setCurrentWidget(ui->PagLogo);
}

void TForm1::BitBtn1Click()
{
    close();
}

void TForm1::BitBtn2Click()
{
    ui->PanAband->hide();
    ui->Ficha->setCurrentWidget(paginaAnterior);
    ui->PanBot->show();
}

void TForm1::PagLogoShow()
{
    const StartPagePlacement place = placeStartPage(ui->PagLogo->size(), ui->PanLogo->size(),
                                                    ui->PanAband->size(), !ui->PanAband->isHidden());
    ui->PanLogo->move(place.logo);
    ui->PanAband->move(place.leave);
}

void TForm1::ajustarGrillasSintomas()
{
    for (QTableView *grid : {ui->GrSintomas, ui->GrSel, ui->GrIdiomas})
        fitGridColumns(grid);
}

void TForm1::Splitter7Moved()
{
    try {
        ajustarGrillasSintomas();
    } catch (const std::exception &) {
        // Columns left as they were are only cosmetic; dragging must never raise a box.
    }
}

void TForm1::Splitter8Moved()
{
    fitGridColumns(ui->GrFlor);
}

void TForm1::Splitter9Moved()
{
    fitGridColumns(ui->GrSint);
}

// The steps below are filled in by the areas they belong to.

void TForm1::ColorClick()
{
    appearance->ColorClick();
}

void TForm1::MasClick()
{
    appearance->MasClick();
}

void TForm1::MenosClick()
{
    appearance->MenosClick();
}

void TForm1::PlanRepClick()
{
    ::PlanRepClick(catalogue, ui->GrRepF->tableModel()->columnField(1), this);
}

void TForm1::entregarPassword()
{
    catalogue.setPassword(QStringLiteral("tarnok"));
}

void TForm1::abrirTablas()
{
    catalogue.open();
}

void TForm1::cerrarTablas()
{
    catalogue.close();
}

void TForm1::AplicarColores()
{
    appearance->AplicarColores();
}

void TForm1::AplicarLetra()
{
    appearance->AplicarLetra();
}

void TForm1::PonerEdicion(bool /*on*/) { }

void TForm1::leerConfiguracion() { }

void TForm1::escribirConfiguracion() { }

void TForm1::grabarFlorPendiente()
{
    catalogue.TFlores.checkBrowseMode();
}

void TForm1::ponerMaestroSintomas()
{
    catalogue.TRelS.setMasterSource(&catalogue.SSint);
}

void TForm1::quitarFiltroSistema()
{
    const store::Bookmark flor = catalogue.TFlores.bookmark();
    catalogue.TFlores.setFilterText(QString());
    catalogue.TFlores.gotoBookmark(flor);
}

void TForm1::EdChange()
{
    buscador->EdChange();
}

void TForm1::LeerPaciente()
{
    archivos->LeerPaciente();
}

void TForm1::TFloresAfterScroll()
{
    try {
        ui->LabCantSintFlor->setText(
            QStringLiteral("Cantidad de Síntomas: %1").arg(catalogue.TRelF.recordCount()));
    } catch (const std::exception &) {
        // The label keeps its last count.
    }
}

void TForm1::TSintAfterScroll()
{
    try {
        ui->LabCantFlor->setText(QStringLiteral("Cantidad de Flores: %1").arg(catalogue.TRelS.recordCount()));
    } catch (const std::exception &) {
        // The label keeps its last count.
    }
}
