#include "tfselarch.h"
#include "ui_tfselarch.h"

#include "ui/buttonpictures.h"
#include "ui/screencentring.h"
#include "selectionfiles.h"
#include "store/regularfile.h"

namespace {

const ButtonPicture kPictures[] = {
    {"BitBtn1", Picture::Yes},
    {"BitBtn2", Picture::No},
};

constexpr int kWidth = 206;
constexpr int kHeight = 312;

} // namespace

TFSelArch::TFSelArch(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TFSelArch>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    setButtonPictures(this, kPictures);

    connect(m_ui->BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->Lista, &QListWidget::itemClicked, this, &TFSelArch::ListaClick);
    // Moving through the list with the keys chooses as a click does.
    connect(m_ui->Lista, &QListWidget::itemSelectionChanged, this, &TFSelArch::ListaClick);
    connect(m_ui->Lista, &QListWidget::itemDoubleClicked, this, &TFSelArch::ListaDblClick);
}

TFSelArch::~TFSelArch() = default;

int TFSelArch::ListarArchivos()
{
    const QList<repertory::StoredFile> stored = repertory::listFiles(repertory::repertoryFolder());
    m_ui->Lista->clear();
    // Added in the order the list keeps: letters compared without regard to case. Each name
    // keeps the file it was read from.
    for (const repertory::StoredFile &file : stored) {
        auto *item = new QListWidgetItem(file.name, m_ui->Lista);
        item->setData(Qt::UserRole, repertory::storedFilePath(repertory::repertoryFolder(), file));
    }
    return m_ui->Lista->count();
}

void TFSelArch::prepareSave()
{
    m_ui->PanEd->show();
    m_ui->Ed->setFocus();
    setWindowTitle(QStringLiteral("Guardar Repertorio"));
}

void TFSelArch::prepareOpen()
{
    m_ui->PanEd->hide();
    setWindowTitle(QStringLiteral("Seleccione el Repertorio"));
    m_ui->Lista->setFocus();
    if (m_ui->Lista->count() > 0) {
        m_ui->Lista->setCurrentRow(0);
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

QString TFSelArch::chosenName() const
{
    return m_ui->Ed->text();
}

QByteArray TFSelArch::chosenFile() const
{
    const QString name = chosenName();
    const QListWidgetItem *current = m_ui->Lista->currentItem();
    if (current && current->isSelected() && current->text() == name)
        return current->data(Qt::UserRole).toByteArray();
    if (const QList<QListWidgetItem *> alike = m_ui->Lista->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        !alike.isEmpty())
        return alike.constFirst()->data(Qt::UserRole).toByteArray();
    return store::nativePath(repertory::repertoryPath(name));
}

void TFSelArch::setChosenName(const QString &name)
{
    m_ui->Ed->setText(name);
}

QStringList TFSelArch::names() const
{
    QStringList listed;
    for (int i = 0; i < m_ui->Lista->count(); ++i)
        listed << m_ui->Lista->item(i)->text();
    return listed;
}

void TFSelArch::ListaClick()
{
    if (const QListWidgetItem *item = m_ui->Lista->currentItem(); item && item->isSelected())
        m_ui->Ed->setText(item->text());
}

void TFSelArch::ListaDblClick()
{
    ListaClick();
    accept();
}

void ChooserSeam::answer(Answer next)
{
    m_answers.append(std::move(next));
}

ChooserSeam::Answer ChooserSeam::accept()
{
    return [](TFSelArch &) { return true; };
}

ChooserSeam::Answer ChooserSeam::acceptWith(const QString &name)
{
    return [name](TFSelArch &chooser) {
        chooser.setChosenName(name);
        return true;
    };
}

ChooserSeam::Answer ChooserSeam::cancel()
{
    return [](TFSelArch &) { return false; };
}

bool ChooserSeam::respond(TFSelArch &chooser)
{
    m_log.append(chooser.windowTitle());
    if (m_answers.isEmpty())
        qFatal("ChooserSeam: no answer queued for the chooser \"%s\"", qUtf8Printable(chooser.windowTitle()));
    return m_answers.takeFirst()(chooser);
}
