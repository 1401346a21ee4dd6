#include "picturedialog.h"

#include "picturefile.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

namespace {

// Description and patterns, in pairs, as the filter of a Windows open dialog is written.
constexpr char kFilter[] = "Archivos JPEG|*.jpg|Otros (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf";
constexpr int kPreviewSize = 200;

struct Filters
{
    QStringList names;   // what the user reads
    QStringList toolkit; // "name (patterns)", as the toolkit's dialog takes them
};

const Filters &filters()
{
    static const Filters parsed = [] {
        Filters f;
        const QStringList parts = QString::fromUtf8(kFilter).split(QLatin1Char('|'));
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
            f.names << parts[i];
            f.toolkit << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
        }
        return f;
    }();
    return parsed;
}

// The filter the dialog stands on, by its number. The toolkit gives its name with or without
// the patterns, depending on its version, when they are hidden.
int chosenFilter(const QFileDialog &dialog)
{
    const QString chosen = dialog.selectedNameFilter();
    qsizetype index = filters().toolkit.indexOf(chosen);
    if (index < 0)
        index = filters().names.indexOf(chosen.trimmed());
    return int(index);
}

void showPreview(QLabel *pane, const QString &path)
{
    const QFileInfo info(path);
    const QImage picture = info.isFile() ? photo::previewPicture(path, pane->contentsRect().size()) : QImage();
    pane->setPixmap(QPixmap::fromImage(picture));
}

} // namespace

const QStringList &PictureDialog::filterNames()
{
    return filters().names;
}

void PictureDialog::prepare(QFileDialog &dialog) const
{
    dialog.setObjectName(QStringLiteral("OpenPic"));
    dialog.setWindowTitle(QStringLiteral("Seleccione la foto"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The toolkit's own dialog, so that the preview pane can stand beside the list; the
    // patterns stay out of the filter names, as the user knows them.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters().toolkit);
    dialog.selectNameFilter(filters().toolkit.value(m_filter));
    dialog.setDefaultSuffix(QStringLiteral("JPG"));
    if (!m_folder.isEmpty())
        dialog.setDirectory(m_folder);

    auto *pane = new QLabel(&dialog);
    pane->setObjectName(QStringLiteral("VistaPrevia"));
    pane->setFixedSize(kPreviewSize, kPreviewSize);
    pane->setFrameShape(QFrame::StyledPanel);
    pane->setAlignment(Qt::AlignCenter);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, pane, [pane](const QString &path) { showPreview(pane, path); });
}

std::optional<PictureDialog::Choice> PictureDialog::execute(QWidget *parent)
{
    QFileDialog dialog(parent);
    prepare(dialog);
    std::optional<Choice> choice;
    if (FileDialogSeam *seam = FileDialogSeam::active()) {
        choice = seam->respond(dialog);
    } else if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        choice = Choice{dialog.selectedFiles().constFirst(), std::max(0, chosenFilter(dialog))};
    }
    if (choice) {
        m_filter = choice->filter;
        m_folder = QFileInfo(choice->path).absolutePath();
    }
    return choice;
}

void FileDialogSeam::answer(const QString &path, const QString &filter, Look look)
{
    const qsizetype index = PictureDialog::filterNames().indexOf(filter);
    if (index < 0)
        qFatal("FileDialogSeam: the dialog has no filter \"%s\"", qUtf8Printable(filter));
    m_answers.append({PictureDialog::Choice{path, int(index)}, std::move(look)});
}

void FileDialogSeam::cancel(Look look)
{
    m_answers.append({std::nullopt, std::move(look)});
}

std::optional<PictureDialog::Choice> FileDialogSeam::respond(QFileDialog &dialog)
{
    Showing showing;
    showing.title = dialog.windowTitle();
    // The names as the dialog's own list shows them.
    if (const auto *list = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < list->count(); ++i)
            showing.filters << list->itemText(i);
    if (const int chosen = chosenFilter(dialog); chosen >= 0)
        showing.selectedFilter = filters().names[chosen];
    showing.defaultSuffix = dialog.defaultSuffix();
    showing.hasPreview = dialog.findChild<QLabel *>(QStringLiteral("VistaPrevia")) != nullptr;
    m_showings.append(showing);
    if (m_answers.isEmpty())
        qFatal("FileDialogSeam: no answer queued for the dialog \"%s\"", qUtf8Printable(showing.title));
    Answer next = m_answers.takeFirst();
    if (next.look)
        next.look(dialog);
    return next.choice;
}
