#include "documentprinter.h"

#include "application.h"
#include "messageboxes.h"
#include "spokennames.h"
#include "store/error.h"
#include "store/wholefile.h"

#include <QBuffer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsView>
#include <QLineEdit>
#include <QLocale>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QPrinter>
#include <QStandardPaths>

namespace {

// Room for the hands that hold the sheet and for the printers that cannot reach its edge.
constexpr QMarginsF kMarginsMillimetres(15, 15, 15, 15);

void preparePage(QPagedPaintDevice &device, const PrintRequest &request)
{
    device.setPageSize(QPageSize(request.paper));
    device.setPageOrientation(request.orientation);
    device.setPageMargins(kMarginsMillimetres, QPageLayout::Millimeter);
}

std::optional<PrintRequest> askChoices(QWidget *parent, const QString &title, const PrintRequest &offered)
{
    if (PrintSeam *seam = PrintSeam::active())
        return seam->choose(title, offered);
    PrintChoices choices(offered, parent);
    if (choices.exec() != QDialog::Accepted)
        return std::nullopt;
    return choices.request();
}

QString askPdfPath(QWidget *parent, const QString &fileName)
{
    if (PrintSeam *seam = PrintSeam::active())
        return seam->chooseFile(fileName);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QFileDialog dialog(parent, QStringLiteral("Guardar como PDF"), QDir(folder).filePath(fileName),
                       QStringLiteral("Documentos PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without ".pdf" gets it before the window asks about replacing a file.
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    nameFileDialog(dialog, {"Las carpetas y los PDF de la carpeta que se muestra", "El nombre del PDF que se va a guardar",
                            "Qué clase de archivos se muestran", "Guardar", "Guarda el PDF con ese nombre",
                            "Cierra sin guardar el PDF"});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void savePdf(QWidget *parent, const QString &title, const PrintRequest &request, const DocumentDrawing &draw)
{
    const QString path = askPdfPath(parent, pdfFileName(title, request.patient));
    if (path.isEmpty())
        return;
    // Made in memory and written whole, so that a failure leaves no half file behind and an
    // older file of the same name stays as it was.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Vantolia"));
        preparePage(writer, request);
        if (!draw(writer, request.patient)) {
            showError(QStringLiteral("No se pudo preparar el PDF de %1").arg(title));
            return;
        }
    }
    try {
        store::saveWholeFile(path, pdf.data());
    } catch (const store::Error &e) {
        showError(e.message());
        return;
    }
    Aviso(QStringLiteral("El PDF fue guardado en %1").arg(QDir::toNativeSeparators(path)));
}

// The toolkit's print and preview windows name their controls for a screen reader in English,
// and some not at all; their tool buttons are known only by the English text of their actions.
constexpr SpokenName kPreviewActions[] = {
    {"Next page", "Página siguiente", "Muestra la página siguiente"},
    {"Previous page", "Página anterior", "Muestra la página anterior"},
    {"First page", "Primera página", "Muestra la primera página"},
    {"Last page", "Última página", "Muestra la última página"},
    {"Fit width", "Ajustar al ancho", "La página ocupa el ancho de la ventana"},
    {"Fit page", "Ajustar la página", "La página entera cabe en la ventana"},
    {"Zoom in", "Acercar", "Agranda la página"},
    {"Zoom out", "Alejar", "Achica la página"},
    {"Portrait", "Vertical", "La hoja de pie"},
    {"Landscape", "Apaisada", "La hoja acostada"},
    {"Show single page", "Una página", "Muestra una página por vez"},
    {"Show facing pages", "Páginas enfrentadas", "Muestra las páginas de a dos"},
    {"Show overview of all pages", "Todas las páginas", "Muestra todas las páginas juntas"},
    {"Print", "Imprimir", "Abre la ventana de impresión"},
    {"Page setup", "Configurar página", "El papel, la orientación y los márgenes"},
};
constexpr SpokenName kPrintControls[] = {
    {"printers", "Impresora", "La impresora que imprime"},
    {"properties", "Propiedades", "Las opciones de la impresora"},
    {"filename", "Archivo de salida", "El archivo que se escribe cuando se imprime a un archivo"},
    {"fileBrowser", "Elegir archivo", "Elige el archivo de salida"},
};
constexpr char kToolbarMore[] = "qt_toolbar_ext_button";

void nameControls(QPrintPreviewDialog &dialog)
{
    nameByActionText(dialog, kPreviewActions);
    for (QWidget *more : dialog.findChildren<QWidget *>(QLatin1String(kToolbarMore)))
        nameControl(more, "Más botones", "Los botones que no caben en la barra");
    for (QComboBox *zoom : dialog.findChildren<QComboBox *>()) {
        nameControl(zoom, "Tamaño", "El tamaño de la página en la pantalla, en por ciento");
        nameControl(zoom->lineEdit(), "Tamaño", "El tamaño de la página en la pantalla, en por ciento");
    }
    for (QLineEdit *edit : dialog.findChildren<QLineEdit *>())
        if (!qobject_cast<QComboBox *>(edit->parentWidget()))
            nameControl(edit, "Página", "El número de la página que se muestra");
    if (auto *pages = dialog.findChild<QPrintPreviewWidget *>()) {
        nameControl(pages, "Páginas", "Las páginas como se imprimirán");
        for (QGraphicsView *view : pages->findChildren<QGraphicsView *>()) {
            nameControl(view, "Páginas", "Las páginas como se imprimirán");
            nameControl(view->viewport(), "Páginas", "Las páginas como se imprimirán");
        }
    }
}

void nameControls(QPrintDialog &dialog)
{
    nameByObjectName(dialog, kPrintControls);
    for (QDialogButtonBox *buttons : dialog.findChildren<QDialogButtonBox *>())
        for (QAbstractButton *button : buttons->buttons()) {
            if (button == buttons->button(QDialogButtonBox::Ok))
                nameControl(button, "Imprimir", "Imprime con lo elegido");
            else if (button == buttons->button(QDialogButtonBox::Cancel))
                nameControl(button, "Cancelar", "Cierra sin imprimir");
            else
                nameControl(button, "Opciones", "Muestra u oculta las copias, las páginas y las demás opciones");
        }
}

// A printer set up for the request; under the seam it writes the PDF file the seam names.
void preparePrinter(QPrinter &printer, const QString &title, const PrintRequest &request, PrintSeam *seam,
                    const QString &step)
{
    printer.setDocName(title);
    preparePage(printer, request);
    if (seam) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(seam->printerOutput(step));
    }
}

void print(QWidget *parent, const QString &title, const PrintRequest &request, const DocumentDrawing &draw)
{
    PrintSeam *seam = PrintSeam::active();
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, title, request, seam, QStringLiteral("Imprimir"));
    if (!seam) {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Imprimir"));
        nameControls(dialog);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    if (!draw(printer, request.patient))
        showError(QStringLiteral("No se pudo imprimir %1").arg(title));
}

void preview(QWidget *parent, const QString &title, const PrintRequest &request, const DocumentDrawing &draw)
{
    PrintSeam *seam = PrintSeam::active();
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, title, request, seam, QStringLiteral("Vista previa"));
    if (seam) {
        draw(printer, request.patient);
        return;
    }
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Vista previa"));
    nameControls(dialog);
    // Also what prints when the user prints from the preview.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *target) { draw(*target, request.patient); });
    dialog.exec();
}

} // namespace

void printDocument(QWidget *parent, const QString &title, const PrintRequest &offered, const DocumentDrawing &draw)
{
    const std::optional<PrintRequest> request = askChoices(parent, title, offered);
    if (!request)
        return;
    switch (request->action) {
    case PrintRequest::Action::Preview:
        return preview(parent, title, *request, draw);
    case PrintRequest::Action::Print:
        return print(parent, title, *request, draw);
    case PrintRequest::Action::SavePdf:
        return savePdf(parent, title, *request, draw);
    }
}

QString pdfFileName(const QString &title, const QString &patient)
{
    QString name = title;
    if (!patient.isEmpty())
        name += QStringLiteral(" - ") + patient;
    for (QChar &c : name)
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    return name + QStringLiteral(".pdf");
}

QPageSize::PageSizeId usualPaper()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4;
}

void PrintSeam::answer(Answer next)
{
    m_answers.append(std::move(next));
}

void PrintSeam::answerFile(const QString &path)
{
    m_files.append(path);
}

std::optional<PrintRequest> PrintSeam::choose(const QString &title, const PrintRequest &offered)
{
    m_log.append(QStringLiteral("Imprimir: ") + title);
    if (m_answers.isEmpty())
        qFatal("PrintSeam: no answer queued for printing %s", qUtf8Printable(title));
    return m_answers.takeFirst()(offered);
}

QString PrintSeam::chooseFile(const QString &suggested)
{
    m_log.append(QStringLiteral("Guardar como PDF: ") + suggested);
    if (m_files.isEmpty())
        qFatal("PrintSeam: no file queued for %s", qUtf8Printable(suggested));
    return m_files.takeFirst();
}

QString PrintSeam::printerOutput(const QString &step)
{
    m_log.append(step);
    if (m_printerOutput.isEmpty())
        qFatal("PrintSeam: no file to print into for %s", qUtf8Printable(step));
    return m_printerOutput;
}
