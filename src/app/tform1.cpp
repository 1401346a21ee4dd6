#include "tform1.h"
#include "ui_tform1.h"

#include "mainwindowappearance.h"
#include "settingsfile.h"
#include "startpageplacement.h"
#include "tflogo.h"

#include "ui/application.h"
#include "store/error.h"
#include "ui/appearance.h"
#include "ui/buttonpictures.h"
#include "ui/documentopener.h"
#include "ui/logoartwork.h"
#include "ui/messageboxes.h"
#include "ui/screencentring.h"
#include "widgets/datagrid.h"

#include <QCloseEvent>
#include <QDir>
#include <QScreen>
#include <QTabBar>
#include <QThread>

#include <exception>

namespace {

const ButtonPicture kPictures[] = {
    {"Ayuda", Picture::Help},        {"color", Picture::Colours}, {"Mas", Picture::LargerText},
    {"Menos", Picture::SmallerText}, {"cerrar", Picture::Exit},   {"BitBtn1", Picture::Yes},
    {"BitBtn2", Picture::No},
};

constexpr int kToolbarLogoHeight = 31;
constexpr int kGoodbyeMilliseconds = 1000;

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    prepareControls();
    connectPages();
    FormCreate();
}

TForm1::~TForm1()
{
    // The controls read the catalogue while they go, so they go first.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

void TForm1::prepareControls()
{
    setWindowIcon(applicationIcon());
    setButtonPictures(this, kPictures);
    ui->Image3->setPixmap(QPixmap::fromImage(drawSmallLogo(kToolbarLogoHeight)));
    ui->Im0->setPixmap(QPixmap::fromImage(drawLogo()));
    ui->PagLogo->installEventFilter(this);
    centreOnScreen(*this);
}

void TForm1::connectPages()
{
    DataGrid::setErrorHandler(showError);
    connect(&m_catalogue, &Catalogue::writeFailed, this, [](const QString &message) { showError(message); });
    ui->PagFlor->setUp(m_catalogue);
    ui->PagSint->setUp(m_catalogue);
    ui->PagRep->setUp(m_catalogue);
    m_appearance = std::make_unique<MainWindowAppearance>(this);
    m_catalogue.TSint.afterScroll = [this] { ui->PagSint->TSintAfterScroll(); };
    m_catalogue.TFlores.afterScroll = [this] { ui->PagFlor->TFloresAfterScroll(); };

    connect(ui->PagFlor, &FlowersPage::languageChosen, ui->PagRep, &RepertoryPage::followLanguage);
    connect(ui->PagFlor, &FlowersPage::returnRequested, this, &TForm1::LabVolverClick);
    connect(ui->PagSint, &SymptomsPage::processed, this, &TForm1::showResult);
    connect(ui->PagSint, &SymptomsPage::patientShown, ui->PagRep, &RepertoryPage::setPatient);
    connect(ui->PagRep, &RepertoryPage::flowerRequested, this, &TForm1::Button2Click);
    connect(ui->PagFlor, &FlowersPage::newFlowerRequested, this, &TForm1::NuevaFlorClick);
    connect(ui->Modificar, &QAbstractButton::clicked, this, &TForm1::ModificarClick);

    connect(ui->CBSel, &QComboBox::activated, this, &TForm1::CBSelChange);
    connect(ui->Sintomas, &QAbstractButton::clicked, this, [this] { SintomasClick(ui->Sintomas); });
    connect(ui->cerrar, &QAbstractButton::clicked, this, &TForm1::CerrarClick);
    connect(ui->color, &QAbstractButton::clicked, this, &TForm1::ColorClick);
    connect(ui->Mas, &QAbstractButton::clicked, this, &TForm1::MasClick);
    connect(ui->Menos, &QAbstractButton::clicked, this, &TForm1::MenosClick);
    connect(ui->BitBtn1, &QAbstractButton::clicked, this, &TForm1::BitBtn1Click);
    connect(ui->BitBtn2, &QAbstractButton::clicked, this, &TForm1::BitBtn2Click);
    connect(ui->Ayuda, &QAbstractButton::clicked, this, &TForm1::ayudaClick);
}

void TForm1::FormCreate()
{
    m_logo = std::make_unique<TFLogo>();
    m_logo->showAndPaint();
    ColorClick();
    m_catalogue.setPassword(QStringLiteral("tarnok"));
    // Stepping twice from no scheme at all leaves the second scheme in force.
    ColorClick();
}

void TForm1::FormShow()
{
    try {
        m_catalogue.open();
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

bool TForm1::FormCloseQuery() const
{
    return !ui->PanAband->isHidden();
}

void TForm1::FormClose()
{
    escribirConfiguracion();
    hide();
    showLogoForOneSecond();
    m_catalogue.close();
    ui->Ficha->setCurrentWidget(ui->PagLogo);
}

void TForm1::showLogoForOneSecond()
{
    m_logo->showAndPaint();
    QThread::msleep(kGoodbyeMilliseconds);
    m_logo->close();
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring from the task bar is not a new showing.
    if (event->spontaneous())
        return;
    FormShow();
    // Read once: read at every activation, coming back from a dialog or another program would
    // throw away the layout the user has just set.
    if (!m_settingsRead) {
        m_settingsRead = true;
        leerConfiguracion();
    }
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
    return QWidget::eventFilter(watched, event);
}

void TForm1::SintomasClick(const QObject *cause)
{
    ui->Modificar->show();
    try {
        postPendingFlower();
    } catch (const std::exception &) {
        // A flower that cannot be stored stays in editing; the user sees it on coming back.
    }
    m_catalogue.TRelS.setMasterSource(&m_catalogue.SSint);
    ui->Ficha->setCurrentWidget(ui->PagSint);
    liftSystemFilter();
    ui->PagSint->enter();
    if (cause == ui->Sintomas)
        ui->Sintomas->setChecked(true);
    ui->CBSel->setShownText(QStringLiteral("Seleccione"));
    ui->PagSint->LeerPaciente();
}

void TForm1::CerrarClick()
{
    if (ui->Ficha->currentWidget() == ui->PagRep) {
        SintomasClick(ui->Sintomas);
        return;
    }
    m_pageBeforeLeaving = ui->Ficha->currentWidget();
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
    ui->Ficha->setCurrentWidget(m_pageBeforeLeaving);
    ui->PanBot->show();
}

void TForm1::PagLogoShow()
{
    const StartPagePlacement place = placeStartPage(ui->PagLogo->size(), ui->PanLogo->size(),
                                                    ui->PanAband->size(), !ui->PanAband->isHidden());
    ui->PanLogo->move(place.logo);
    ui->PanAband->move(place.leave);
}

void TForm1::CBSelChange(int system)
{
    ui->Modificar->show();
    ui->Sintomas->setChecked(false);
    ui->PagFlor->applySystem(system);
    // Every list of symptoms shows all of them again.
    m_catalogue.TSint.clearFilterCallback();
    ui->Ficha->setCurrentWidget(ui->PagFlor);
    ui->PagFlor->enter();
}

void TForm1::showResult()
{
    AplicarColores();
    AplicarLetra();
    m_catalogue.TSint.clearFilterCallback();
    ui->Sintomas->setChecked(false);
    ui->Ficha->setCurrentWidget(ui->PagRep);
    ui->PagRep->IdiomaRepClick();
    m_catalogue.TRepF.first();
}

void TForm1::Button2Click()
{
    std::optional<qint32> flower;
    if (m_catalogue.TRepF.currentSlot())
        flower = m_catalogue.TRepF.asInteger(QStringLiteral("Clave"));
    ui->PanBot->hide();
    ui->PagFlor->showResultFlower(flower);
    m_catalogue.TRelS.setMasterSource(&m_catalogue.SSint);
    ui->Ficha->setCurrentWidget(ui->PagFlor);
    ui->PagFlor->TFloresAfterScroll();
}

void TForm1::LabVolverClick()
{
    ui->PagFlor->hideReturnNotice();
    ui->PanBot->show();
    m_catalogue.TRelS.setMasterSource(&m_catalogue.SRepS);
    ui->Ficha->setCurrentWidget(ui->PagRep);
}

void TForm1::ColorClick()
{
    m_appearance->ColorClick();
    refitPhoto();
}

void TForm1::MasClick()
{
    m_appearance->MasClick();
    refitPhoto();
}

void TForm1::MenosClick()
{
    m_appearance->MenosClick();
    refitPhoto();
}

void TForm1::AplicarColores()
{
    m_appearance->AplicarColores();
    refitPhoto();
}

void TForm1::AplicarLetra()
{
    m_appearance->AplicarLetra();
    refitPhoto();
}

void TForm1::refitPhoto()
{
    // The photo frame may have changed size with the text around it.
    ui->PagFlor->AjustarFoto();
}

void TForm1::postPendingFlower()
{
    m_catalogue.TFlores.checkBrowseMode();
}

void TForm1::liftSystemFilter()
{
    const store::Bookmark flower = m_catalogue.TFlores.bookmark();
    m_catalogue.TFlores.setFilterText(QString());
    m_catalogue.TFlores.gotoBookmark(flower);
}

void TForm1::ayudaClick()
{
    try {
        AbrirDocumento(QStringLiteral("index.htm"));
    } catch (const store::Error &e) {
        showError(e.message());
    }
}

void TForm1::leerConfiguracion()
{
    settingsfile::FileRead file;
    try {
        file = settingsfile::read(QDir::currentPath());
    } catch (const store::Error &e) {
        showError(e.message());
        return;
    }
    if (!file.exists)
        return;
    QList<QRect> screens;
    for (const QScreen *s : QGuiApplication::screens())
        screens << s->availableGeometry();
    const settingsfile::Settings read =
        settingsfile::visible(settingsfile::apply(currentSettings(), file.lines.values), screens);
    setGeometry(read.window);
    const QList<int> panels(read.panels.begin(), read.panels.end());
    ui->PagFlor->setPanelSizes(panels.mid(0, 4));
    ui->PagSint->setPanelSizes(panels.mid(4, 2));
    ui->PagRep->setPanelSizes(panels.mid(6, 2));
    EsquemaColor = read.scheme;
    TamLetra = read.textSize;
    // The program looks as it did when it was closed.
    AplicarColores();
    AplicarLetra();
    if (!file.lines.error.isEmpty())
        showError(file.lines.error);
}

void TForm1::escribirConfiguracion()
{
    settingsfile::Settings now = currentSettings();
    // The normal place is taken before the window goes back to it: that happens later.
    if (isMaximized() || isFullScreen())
        showNormal();
    TamLetra = std::max<quint8>(TamLetra, appearance::kMinimumTextSize);
    now.textSize = TamLetra;
    // A settings file that cannot be written is reported, and never keeps the program from ending.
    if (const QString failure = settingsfile::write(QDir::currentPath(), now); !failure.isEmpty())
        showError(failure);
}

settingsfile::Settings TForm1::currentSettings() const
{
    settingsfile::Settings now;
    // A maximised window is remembered at its normal place and size.
    // Where the window system restores a window later, the toolkit knows its normal place.
    now.window = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    const QList<int> sizes = ui->PagFlor->panelSizes() + ui->PagSint->panelSizes() + ui->PagRep->panelSizes();
    std::copy(sizes.begin(), sizes.end(), now.panels.begin());
    now.scheme = EsquemaColor;
    now.textSize = TamLetra;
    return now;
}

void TForm1::PonerEdicion(bool on)
{
    EnEdicion = on;
    m_catalogue.SFlores.setAutoEdit(on);
    ui->PagFlor->setEditMode(on);
    ui->PagSint->setEditMode(on);
    ui->Modificar->setText(on ? QStringLiteral("Editando") : QStringLiteral("Modificar"));
}

void TForm1::ModificarClick()
{
    PonerEdicion(ui->Modificar->isChecked());
}

void TForm1::NuevaFlorClick()
{
    ui->PagFlor->NuevaFlorClick(ui->CBSel->chosenSystem());
}
