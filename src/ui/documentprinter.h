#pragma once

#include "testseam.h"

#include "printchoices.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QPagedPaintDevice;
class QWidget;

// Draws a document on a device with the patient's name chosen for it; false when the device
// cannot be painted on.
using DocumentDrawing = std::function<bool(QPagedPaintDevice &device, const QString &patient)>;

// Asks how to print the document `title`, offering the choices of `offered`, and then previews
// it, prints it through the print window or saves it as a PDF file written whole. Failures are
// reported in the error box.
void printDocument(QWidget *parent, const QString &title, const PrintRequest &offered, const DocumentDrawing &draw);

// The name offered for the PDF file: the title, then the patient's name when there is one,
// without the characters that file names cannot hold.
QString pdfFileName(const QString &title, const QString &patient);

// The paper of the desktop's measurement system: letter where inches are the rule, A4 elsewhere.
QPageSize::PageSizeId usualPaper();

// Test hook. While a PrintSeam exists printing shows no window. The choices take the next
// queued answer, which sees what was offered; the file window takes the next queued path (an
// empty one cancels); printing and previewing draw into the PDF file set with printerOutput.
// Every step is recorded in order; a window with no answer queued aborts the run, so a test
// cannot pass by accident.
class PrintSeam : public TestSeam<PrintSeam>
{
public:
    using Answer = std::function<std::optional<PrintRequest>(const PrintRequest &offered)>;
    static constexpr char kName[] = "PrintSeam";
    ~PrintSeam() { reportUnused(m_answers.size() + m_files.size()); }

    void answer(Answer next);
    void answerFile(const QString &path);
    void setPrinterOutput(const QString &path) { m_printerOutput = path; }
    const QStringList &log() const { return m_log; }

    std::optional<PrintRequest> choose(const QString &title, const PrintRequest &offered);
    QString chooseFile(const QString &suggested);
    QString printerOutput(const QString &step);

private:
    QList<Answer> m_answers;
    QStringList m_files;
    QString m_printerOutput;
    QStringList m_log;
};
