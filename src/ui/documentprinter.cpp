#include "documentprinter.h"

#include "application.h"
#include "messageboxes.h"
#include "store/error.h"
#include "store/wholefile.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
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
