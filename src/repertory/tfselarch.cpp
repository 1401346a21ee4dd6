#include "tfselarch.h"
#include "ui_tfselarch.h"

#include "app/icons.h"
#include "archivosrep.h"

#include <QApplication>
#include <QScreen>

namespace {

SelArchSeam *activeSeam = nullptr;

const ButtonPicture kPictures[] = {
    {"BitBtn1", Picture::Yes},
    {"BitBtn2", Picture::No},
};

constexpr int kAncho = 206;
constexpr int kAlto = 312;

} // namespace

TFSelArch::TFSelArch(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::TFSelArch>())
{
    ui->setupUi(this);
    PanEd = ui->PanEd;
    Ed = ui->Ed;
    Lista = ui->Lista;
    BitBtn1 = ui->BitBtn1;
    BitBtn2 = ui->BitBtn2;

    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kAncho, kAlto);
    setButtonPictures(this, kPictures);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Lista, &QListWidget::itemClicked, this, &TFSelArch::ListaClick);
    // Moving through the list with the keys chooses as a click does.
    connect(Lista, &QListWidget::itemSelectionChanged, this, &TFSelArch::ListaClick);
    connect(Lista, &QListWidget::itemDoubleClicked, this, &TFSelArch::ListaDblClick);
}

TFSelArch::~TFSelArch() = default;

int TFSelArch::ListarArchivos()
{
    const QStringList nombres = repertorio::listarArchivos(repertorio::carpetaRepertorio());
    Lista->clear();
    // Added in the order the list keeps: letters compared without regard to case.
    Lista->addItems(nombres);
    return Lista->count();
}

void TFSelArch::prepararGuardar()
{
    PanEd->show();
    Ed->setFocus();
    setWindowTitle(QStringLiteral("Guardar Repertorio"));
}

void TFSelArch::prepararAbrir()
{
    PanEd->hide();
    setWindowTitle(QStringLiteral("Seleccione el Repertorio"));
    Lista->setFocus();
    if (Lista->count() > 0) {
        Lista->setCurrentRow(0);
        ListaClick();
    }
}

bool TFSelArch::ejecutar()
{
    if (SelArchSeam *seam = SelArchSeam::active())
        return seam->responder(*this);
    const QWidget *activa = QApplication::activeWindow();
    const QScreen *pantalla = activa ? activa->screen() : QGuiApplication::primaryScreen();
    QRect area(QPoint(), size());
    area.moveCenter(pantalla->availableGeometry().center());
    setGeometry(area);
    return exec() == QDialog::Accepted;
}

void TFSelArch::ListaClick()
{
    if (const QListWidgetItem *item = Lista->currentItem(); item && item->isSelected())
        Ed->setText(item->text());
}

void TFSelArch::ListaDblClick()
{
    ListaClick();
    accept();
}

SelArchSeam::SelArchSeam()
{
    if (activeSeam)
        qFatal("SelArchSeam: only one may be active at a time");
    activeSeam = this;
}

SelArchSeam::~SelArchSeam()
{
    if (!m_respuestas.isEmpty())
        qWarning("SelArchSeam: %lld queued answer(s) never asked for", static_cast<long long>(m_respuestas.size()));
    activeSeam = nullptr;
}

void SelArchSeam::answer(Respuesta respuesta)
{
    m_respuestas.append(std::move(respuesta));
}

SelArchSeam::Respuesta SelArchSeam::aceptar()
{
    return [](TFSelArch &) { return true; };
}

SelArchSeam::Respuesta SelArchSeam::aceptarCon(const QString &nombre)
{
    return [nombre](TFSelArch &chooser) {
        chooser.Ed->setText(nombre);
        return true;
    };
}

SelArchSeam::Respuesta SelArchSeam::cancelar()
{
    return [](TFSelArch &) { return false; };
}

SelArchSeam *SelArchSeam::active()
{
    return activeSeam;
}

bool SelArchSeam::responder(TFSelArch &chooser)
{
    m_log.append(chooser.windowTitle());
    if (m_respuestas.isEmpty())
        qFatal("SelArchSeam: no answer queued for the chooser \"%s\"", qUtf8Printable(chooser.windowTitle()));
    return m_respuestas.takeFirst()(chooser);
}
