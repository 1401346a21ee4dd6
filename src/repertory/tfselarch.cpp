#include "tfselarch.h"
#include "ui_tfselarch.h"

#include "ui/buttonpictures.h"
#include "ui/screencentring.h"
#include "selectionfiles.h"

#include <QApplication>
#include <QScreen>

namespace {

ChooserSeam *activeSeam = nullptr;

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
    const QStringList nombres = repertory::listFiles(repertory::repertoryFolder());
    Lista->clear();
    // Added in the order the list keeps: letters compared without regard to case.
    Lista->addItems(nombres);
    return Lista->count();
}

void TFSelArch::prepareSave()
{
    PanEd->show();
    Ed->setFocus();
    setWindowTitle(QStringLiteral("Guardar Repertorio"));
}

void TFSelArch::prepareOpen()
{
    PanEd->hide();
    setWindowTitle(QStringLiteral("Seleccione el Repertorio"));
    Lista->setFocus();
    if (Lista->count() > 0) {
        Lista->setCurrentRow(0);
        ListaClick();
    }
}

bool TFSelArch::run()
{
    if (ChooserSeam *seam = ChooserSeam::active())
        return seam->respond(*this);
    centreOnScreen(*this);
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

ChooserSeam::ChooserSeam()
{
    if (activeSeam)
        qFatal("SelArchSeam: only one may be active at a time");
    activeSeam = this;
}

ChooserSeam::~ChooserSeam()
{
    if (!m_respuestas.isEmpty())
        qWarning("SelArchSeam: %lld queued answer(s) never asked for", static_cast<long long>(m_respuestas.size()));
    activeSeam = nullptr;
}

void ChooserSeam::answer(Answer respuesta)
{
    m_respuestas.append(std::move(respuesta));
}

ChooserSeam::Answer ChooserSeam::accept()
{
    return [](TFSelArch &) { return true; };
}

ChooserSeam::Answer ChooserSeam::acceptWith(const QString &nombre)
{
    return [nombre](TFSelArch &chooser) {
        chooser.Ed->setText(nombre);
        return true;
    };
}

ChooserSeam::Answer ChooserSeam::cancel()
{
    return [](TFSelArch &) { return false; };
}

ChooserSeam *ChooserSeam::active()
{
    return activeSeam;
}

bool ChooserSeam::respond(TFSelArch &chooser)
{
    m_log.append(chooser.windowTitle());
    if (m_respuestas.isEmpty())
        qFatal("SelArchSeam: no answer queued for the chooser \"%s\"", qUtf8Printable(chooser.windowTitle()));
    return m_respuestas.takeFirst()(chooser);
}
