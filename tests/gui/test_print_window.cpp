// Printing from the real main window on the fixture catalogue: the choices window, the print
// buttons of the repertory page and of the worksheet, what the PDF files they make hold, read
// back with poppler's pdftotext, printing and previewing through the printer, cancelling, files
// that cannot be written, and the companion application's patient offered for the heading.
#include "ui/documentprinter.h"
#include "ui/messageboxes.h"
#include "ui/printedpage.h"
#include "app/tform1.h"
#include "repertory/tfplanrep.h"
#include "repertory/worksheet.h"
#include "store/codepage.h"
#include "testsupport.h"
#include "windowtest.h"
#include "widgets/cellgrid.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {

// The working folder sits inside a temporary folder of its own, so that the companion
// application's folder beside it belongs to this test alone.
class Folders
{
public:
    Folders()
    {
        if (!m_root.isValid() || !QDir(m_root.path()).mkdir("trabajo"))
            qFatal("no temporary folder");
        importFixture(m_root.filePath("trabajo"));
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_root.filePath("trabajo"));
    }
    ~Folders() { QDir::setCurrent(m_previous); }

    QString path(const QString &name) const { return m_root.filePath(name); }
    void writePatient(const QString &lines) const
    {
        QDir(m_root.path()).mkpath("Dorvek");
        QFile file(path("Dorvek/Usuario.$$$"));
        if (!file.open(QIODevice::WriteOnly) || file.write(codepage::toWindows1252(lines, '?')) < 0)
            qFatal("cannot write the patient file");
    }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

PrintSeam::Answer choose(PrintRequest::Action action, const QString &patient = {},
                         QPageSize::PageSizeId paper = QPageSize::A4,
                         QPageLayout::Orientation orientation = QPageLayout::Portrait, PrintRequest *offered = nullptr)
{
    return [=](const PrintRequest &shown) -> std::optional<PrintRequest> {
        if (offered)
            *offered = shown;
        return PrintRequest{action, patient, paper, orientation};
    };
}

PrintSeam::Answer cancel(PrintRequest *offered = nullptr)
{
    return [=](const PrintRequest &shown) -> std::optional<PrintRequest> {
        if (offered)
            *offered = shown;
        return std::nullopt;
    };
}

// A printed date is today's, or yesterday's when midnight passed while it printed.
bool holdsToday(const QString &text, const QDate &before)
{
    return text.contains(printing::dateText(before)) || text.contains(printing::dateText(QDate::currentDate()));
}

} // namespace

class TestPrintWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<Folders> folders;
    std::unique_ptr<PrintSeam> printSeam;

    void click(const char *name) const { w<QAbstractButton>(name)->click(); }
    // What the page shows, as the printed case should hold it: numbered symptoms, then the
    // table's titles and its rows.
    QStringList shownCase() const
    {
        QStringList lines;
        const QStringList symptoms = columnTexts(grid("GrRep"));
        for (int i = 0; i < symptoms.size(); ++i)
            lines << QString("%1. %2").arg(i + 1).arg(symptoms[i]);
        DataGrid *result = grid("GrRepF");
        QStringList titles;
        for (int c = 0; c < 3; ++c)
            titles << result->model()->headerData(c, Qt::Horizontal).toString();
        lines << titles.join(u' ');
        for (int r = 0; r < result->model()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 3; ++c)
                cells << result->model()->index(r, c).data().toString();
            lines << cells.join(u' ').simplified();
        }
        return lines;
    }
    // Presses the worksheet's print button on the worksheet of the current result, then closes it.
    void printWorksheet(const std::function<void(TFPlanRep &)> &look)
    {
        bool shown = false;
        QTimer watcher;
        watcher.setInterval(5);
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *p = qobject_cast<TFPlanRep *>(QApplication::activeModalWidget());
            if (!p || !p->isVisible() || shown)
                return;
            shown = true;
            controlOf<QAbstractButton>(p, "printSheet")->click();
            look(*p);
            controlOf<QAbstractButton>(p, "Cerrar")->click();
        });
        watcher.start();
        click("PlanRep");
        watcher.stop();
        QVERIFY(shown);
    }

private slots:
    void init()
    {
        folders = std::make_unique<Folders>();
        printSeam = std::make_unique<PrintSeam>();
        QVERIFY(open());
    }
    void cleanup()
    {
        close();
        printSeam.reset();
        folders.reset();
    }

    void thePrintButtonsStandBesideTheCopyButtons()
    {
        auto *printCase = w<QPushButton>("printCase");
        auto *copy = w<QPushButton>("BotCopiar");
        QCOMPARE(printCase->text(), QString("Imprimir"));
        QCOMPARE(printCase->accessibleName(), QString("Imprimir el repertorio"));
        QCOMPARE(printCase->toolTip(), QString("Imprimir el repertorio o guardarlo como PDF"));
        QVERIFY(!printCase->icon().isNull());
        // The page's buttons in rows, the print button right after the copy button, the
        // mixture suggestion across the last row.
        auto *bar = qobject_cast<QGridLayout *>(copy->parentWidget()->layout());
        QVERIFY(bar);
        QStringList order;
        for (int i = 0; i < bar->count(); ++i) {
            int row = 0, column = 0, rows = 0, columns = 0;
            bar->getItemPosition(i, &row, &column, &rows, &columns);
            order << QString("%1,%2 %3").arg(row).arg(column).arg(bar->itemAt(i)->widget()->objectName());
        }
        order.sort();
        QCOMPARE(order, QStringList({"0,0 Button2", "0,1 BotCopiar", "1,0 printCase", "1,1 PlanRep", "2,0 suggestMixture"}));

        processSymptoms({"Timidez"});
        printSeam->answer(cancel());
        printWorksheet([](TFPlanRep &p) {
            auto *printSheet = controlOf<QToolButton>(&p, "printSheet");
            auto *copiar = controlOf<QToolButton>(&p, "Copiar");
            auto *cerrar = controlOf<QToolButton>(&p, "Cerrar");
            QCOMPARE(printSheet->accessibleName(), QString("Imprimir la planilla"));
            QCOMPARE(printSheet->toolTip(), QString("Imprimir la planilla o guardarla como PDF"));
            QVERIFY(!printSheet->icon().isNull());
            // Between the copy and the close buttons, all three within the narrowest the
            // references get, none over another.
            QCOMPARE(printSheet->parentWidget(), copiar->parentWidget());
            QVERIFY(copiar->geometry().right() < printSheet->geometry().left());
            QVERIFY(printSheet->geometry().right() < cerrar->geometry().left());
            QVERIFY(cerrar->geometry().right() < worksheet::kMinimumReferencesWidth);
        });
        // The button reached the printing, whose answer cancelled it.
        QCOMPARE(printSeam->log(), QStringList({"Imprimir: Planilla de Repertorización"}));
    }

    void theChoicesWindowOffersAndAnswers()
    {
        PrintRequest offered;
        offered.patient = "Luz Ortíz";
        offered.paper = QPageSize::Letter;
        offered.orientation = QPageLayout::Landscape;
        PrintChoices choices(offered);
        QCOMPARE(choices.windowTitle(), QString("Imprimir"));
        QCOMPARE(controlOf<QLineEdit>(&choices, "patient")->text(), QString("Luz Ortíz"));
        QCOMPARE(controlOf<QComboBox>(&choices, "paper")->currentText(), QString("Carta"));
        QCOMPARE(controlOf<QComboBox>(&choices, "orientation")->currentText(), QString("Horizontal"));
        QVERIFY(controlOf<QPushButton>(&choices, "print")->isDefault());

        controlOf<QLineEdit>(&choices, "patient")->setText("  Luz Ortíz Peña ");
        controlOf<QComboBox>(&choices, "paper")->setCurrentText("A4");
        controlOf<QComboBox>(&choices, "orientation")->setCurrentText("Vertical");
        const std::pair<const char *, PrintRequest::Action> buttons[] = {{"preview", PrintRequest::Action::Preview},
                                                                         {"print", PrintRequest::Action::Print},
                                                                         {"savePdf", PrintRequest::Action::SavePdf}};
        for (const auto &[button, action] : buttons) {
            choices.open();
            controlOf<QPushButton>(&choices, button)->click();
            QCOMPARE(choices.result(), int(QDialog::Accepted));
            const PrintRequest chosen = choices.request();
            QCOMPARE(chosen.action, action);
            QCOMPARE(chosen.patient, QString("Luz Ortíz Peña"));
            QCOMPARE(chosen.paper, QPageSize::A4);
            QCOMPARE(chosen.orientation, QPageLayout::Portrait);
        }
        choices.open();
        controlOf<QPushButton>(&choices, "cancel")->click();
        QCOMPARE(choices.result(), int(QDialog::Rejected));
    }

    void theCaseSavedAsPdfHoldsWhatThePageShows()
    {
        processSymptoms({"Dolor de cabeza", "dolor de espalda", "Tristeza en el año nuevo", "Corazón acelerado"});
        PrintRequest offered;
        printSeam->answer(choose(PrintRequest::Action::SavePdf, "José Peña", QPageSize::Letter, QPageLayout::Portrait,
                                 &offered));
        const QString path = folders->path("caso.pdf");
        printSeam->answerFile(path);
        const QDate before = QDate::currentDate();
        click("printCase");

        // Nothing of a patient to offer, and the paper of the desktop's measures.
        QCOMPARE(offered.patient, QString());
        QCOMPARE(offered.paper, usualPaper());
        QCOMPARE(offered.orientation, QPageLayout::Portrait);
        QCOMPARE(printSeam->log(), QStringList({"Imprimir: Repertorio", "Guardar como PDF: Repertorio - José Peña.pdf"}));
        QCOMPARE(seam->log(), QStringList({"Aviso: El PDF fue guardado en " + QDir::toNativeSeparators(path)}));

        QVERIFY(pdfPageSize(path).contains("letter"));
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), 1);
        const QString &text = pages[0];
        QVERIFY(text.startsWith("Repertorio"));
        QVERIFY(holdsToday(text, before));
        QVERIFY(text.contains("Paciente: José Peña"));
        QVERIFY(text.contains("Página 1 de 1"));
        const QStringList shown = shownCase();
        QVERIFY(shown.size() > 8);
        QVERIFY(shown.contains("3. Tristeza en el año nuevo"));
        QVERIFY(shown.contains("Tipo Nombre Español Cant"));
        qsizetype at = 0;
        for (const QString &line : shown) {
            const qsizetype found = text.indexOf(line, at);
            QVERIFY2(found >= at, qPrintable(line + " in " + text));
            at = found + line.size();
        }
    }

    void theFlowersArePrintedInTheLanguageTheResultShows()
    {
        processSymptoms({"Timidez", "Miedo a cosas conocidas"});
        click("IdiomaRepItem2");
        const QStringList scientific = columnTexts(grid("GrRepF"), 1);
        QVERIFY(!scientific.isEmpty() && !scientific.contains("Mímulo"));
        printSeam->answer(choose(PrintRequest::Action::SavePdf));
        const QString path = folders->path("cientifico.pdf");
        printSeam->answerFile(path);
        click("printCase");
        const QString text = pdfPages(path).join(u' ');
        QVERIFY(text.contains("Tipo Nombre Científico Cant"));
        for (const QString &name : scientific)
            QVERIFY2(text.contains(name), qPrintable(name));
        QVERIFY(!text.contains("Mímulo"));
        QVERIFY(!text.contains("Paciente:"));
    }

    void printingAndPreviewingDrawThroughThePrinter()
    {
        processSymptoms({"Timidez"});
        const QString printed = folders->path("impresora.pdf");
        printSeam->setPrinterOutput(printed);
        printSeam->answer(choose(PrintRequest::Action::Print, "Ana", QPageSize::A4, QPageLayout::Landscape));
        click("printCase");
        QVERIFY(pdfPageSize(printed).contains("842 x 595"));
        QVERIFY(pdfPages(printed).join(u' ').contains("Paciente: Ana"));
        QVERIFY(QFile::remove(printed));

        printSeam->answer(choose(PrintRequest::Action::Preview, "Bea", QPageSize::Letter));
        click("printCase");
        QVERIFY(pdfPageSize(printed).contains("letter"));
        QVERIFY(pdfPages(printed).join(u' ').contains("Paciente: Bea"));
        QCOMPARE(printSeam->log(), QStringList({"Imprimir: Repertorio", "Imprimir", "Imprimir: Repertorio", "Vista previa"}));
        // Printing says nothing when it is done: the printer's own queue does.
        QVERIFY(seam->log().isEmpty());
    }

    void cancellingLeavesNothingBehind()
    {
        processSymptoms({"Timidez"});
        printSeam->answer(cancel());
        click("printCase");
        printSeam->answer(choose(PrintRequest::Action::SavePdf, "Ana"));
        printSeam->answerFile(QString());
        click("printCase");
        QCOMPARE(printSeam->log(),
                 QStringList({"Imprimir: Repertorio", "Imprimir: Repertorio", "Guardar como PDF: Repertorio - Ana.pdf"}));
        QVERIFY(seam->log().isEmpty());
        QCOMPARE(QDir(folders->path("")).entryList(QDir::Files), QStringList());
    }

    void aFileThatCannotBeWrittenIsReportedAndNothingIsLost()
    {
        processSymptoms({"Timidez"});
        // A folder that is not there, and a folder where the file would go.
        QVERIFY(QDir(folders->path("")).mkdir("carpeta.pdf"));
        QVERIFY(QFile(folders->path("carpeta.pdf/dentro.txt")).open(QIODevice::WriteOnly));
        for (const QString &path : {folders->path("no/existe/caso.pdf"), folders->path("carpeta.pdf")}) {
            printSeam->answer(choose(PrintRequest::Action::SavePdf));
            printSeam->answerFile(path);
            click("printCase");
            QCOMPARE(seam->log().size(), 1);
            QVERIFY2(seam->log().constFirst().startsWith("Error: "), qPrintable(seam->log().constFirst()));
            seam.reset();
            seam = std::make_unique<DialogSeam>();
        }
        QVERIFY(!QFileInfo::exists(folders->path("no")));
        QVERIFY(QFileInfo(folders->path("carpeta.pdf")).isDir());
        QVERIFY(QFileInfo::exists(folders->path("carpeta.pdf/dentro.txt")));

        // An older file of the name asked for is replaced whole.
        const QString path = folders->path("antiguo.pdf");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'x')) == 100000);
        old.close();
        printSeam->answer(choose(PrintRequest::Action::SavePdf));
        printSeam->answerFile(path);
        click("printCase");
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF"));
        QVERIFY(pdfPages(path).join(u' ').contains("1. Timidez"));
    }

    void theCompanionsPatientIsOfferedForTheCaseAndTheWorksheet()
    {
        folders->writePatient("42\r\nMaría Ñúñez\r\n");
        processSymptoms({"Timidez", "Dolor de cabeza", "Miedo a cosas conocidas"});
        QVERIFY(!w("PanPac")->isHidden());
        PrintRequest offered;
        printSeam->answer(cancel(&offered));
        click("printCase");
        QCOMPARE(offered.patient, QString("María Ñúñez"));

        // The worksheet lies across the paper, and prints in the order it shows.
        const QString path = folders->path("planilla.pdf");
        printSeam->answer(choose(PrintRequest::Action::SavePdf, "María Ñúñez", QPageSize::A4, QPageLayout::Landscape,
                                 &offered));
        printSeam->answerFile(path);
        QStringList references, rows;
        printWorksheet([&](TFPlanRep &p) {
            auto *list = controlOf<QListWidget>(&p, "LRef");
            for (int i = 0; i < list->count(); ++i)
                references << list->item(i)->text();
            QAbstractItemModel *m = controlOf<CellGrid>(&p, "Gr")->model();
            for (int r = 1; r < m->rowCount(); ++r)
                rows << m->index(r, 0).data().toString() + ' ' + m->index(r, 1).data().toString();
        });
        QCOMPARE(offered.patient, QString("María Ñúñez"));
        QCOMPARE(offered.orientation, QPageLayout::Landscape);
        QCOMPARE(rows.first(), QString("Mímulo 2"));
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].startsWith("Planilla de Repertorización"));
        QVERIFY(pages[0].contains("Paciente: María Ñúñez"));
        QVERIFY(pages[0].contains("C 1 2 3"));
        qsizetype at = 0;
        for (const QString &line : rows + QStringList("Referencias") + references) {
            const qsizetype found = pages[0].indexOf(line, at);
            QVERIFY2(found >= at, qPrintable(line + " in " + pages[0]));
            at = found + line.size();
        }
        QCOMPARE(printSeam->log().last(), QString("Guardar como PDF: Planilla de Repertorización - María Ñúñez.pdf"));
    }
};

QTEST_MAIN(TestPrintWindow)
#include "test_print_window.moc"
