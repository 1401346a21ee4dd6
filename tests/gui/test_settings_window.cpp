// The settings file as the real window uses it: read once when the window first shows and
// applied at once, written when the window closes, faults reported without stopping the
// program; and the help button handing index.htm to the desktop.
#include "app/settingsfile.h"
#include "testsupport.h"
#include "ui/appearance.h"
#include "windowtest.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSplitter>
#include <QTest>
#include <QUrl>

namespace {

QByteArray settingsLines(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes += QByteArray::number(v) + "\r\n";
    return bytes;
}

} // namespace

// Receives the documents the program hands to the desktop.
class Desktop : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestSettingsWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    QList<int> writtenValues()
    {
        return settingsfile::parse(readFile("Config.Dat")).values;
    }

private slots:
    void init()
    {
        folder = std::make_unique<WorkingFolder>();
        EsquemaColor = 0;
        TamLetra = 0;
    }
    void cleanup()
    {
        close();
        folder.reset();
    }

    void withoutAFileTheDesignedLayoutIsWrittenOnClose()
    {
        QVERIFY(open());
        QCOMPARE(form->size(), QSize(1024, 720));
        const QRect placed = form->geometry();
        QVERIFY(seam->log().isEmpty());
        leave();
        QVERIFY(!form->isVisible());
        QCOMPARE(writtenValues(), QList<int>({placed.x(), placed.y(), 1024, 720, 280, 154, 392, 236, 218, 395, 327,
                                              296, 2, 10}));
        QVERIFY(readFile("Config.Dat").endsWith("10\r\n"));
    }

    void aFileIsReadOnceAndAppliedAtOnce()
    {
        writeFile("Config.Dat", settingsLines({20, 30, 700, 500, 300, 160, 380, 220, 200, 330, 300, 280, 3, 12}));
        QVERIFY(open());
        QVERIFY(seam->log().isEmpty());
        QCOMPARE(form->geometry(), QRect(20, 30, 700, 500));
        // The scheme and the text size show at once, not at the next colour or size change.
        QCOMPARE(int(EsquemaColor), 3);
        QCOMPARE(w("GrSintomas")->font().pointSize(), 12);
        QCOMPARE(w("Panel15")->palette().color(QPalette::Window), ColorPanel(3, QColor()));

        // Reading again at a later activation would undo what the user sets meanwhile.
        form->setGeometry(40, 50, 720, 520);
        form->activateWindow();
        QCoreApplication::processEvents();
        QCOMPARE(form->geometry(), QRect(40, 50, 720, 520));

        // The panels of pages never shown are written as they were read.
        leave();
        QCOMPARE(writtenValues(), QList<int>({40, 50, 720, 520, 300, 160, 380, 220, 200, 330, 300, 280, 3, 12}));
    }

    void aMaximisedWindowIsWrittenAtItsNormalPlaceAndASmallTextAsTen()
    {
        writeFile("Config.Dat", settingsLines({20, 30, 700, 500, 280, 154, 392, 236, 218, 395, 327, 296, 2, 8}));
        QVERIFY(open());
        form->showMaximized();
        QCoreApplication::processEvents();
        leave();
        const QList<int> values = writtenValues();
        QCOMPARE(values.mid(0, 4), QList<int>({20, 30, 700, 500}));
        QCOMPARE(values.last(), 10);
        QCOMPARE(int(TamLetra), 10);
    }

    void faultsAreReportedAndWhatCameBeforeStays_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("scheme");
        QTest::newRow("13 lines") << settingsLines({20, 30, 700, 500, 280, 154, 392, 236, 218, 395, 327, 296, 4})
                                  << "Error: List index out of bounds (13)" << 4;
        QTest::newRow("a word") << settingsLines({20, 30, 700, 500}) + "ancho\r\n"
                                << "Error: 'ancho' is not a valid integer value." << 2;
    }
    void faultsAreReportedAndWhatCameBeforeStays()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, scheme);
        writeFile("Config.Dat", bytes);
        QVERIFY(open());
        QCOMPARE(seam->log(), QStringList{message});
        QCOMPARE(form->geometry(), QRect(20, 30, 700, 500));
        QCOMPARE(int(EsquemaColor), scheme);
        QVERIFY(w("Sintomas")->isEnabled());
    }

    void aSettingsFileThatCannotBeWrittenNeverKeepsTheProgramFromEnding()
    {
        // A folder where the file should be: it can be neither read nor replaced.
        QVERIFY(QDir().mkdir("Config.Dat"));
        QVERIFY(open());
        QCOMPARE(seam->log().size(), 1);
        QVERIFY(seam->log().constFirst().contains("no es un archivo común"));
        leave();
        QVERIFY(!form->isVisible());
        QCOMPARE(seam->log().size(), 2);
        QVERIFY2(seam->log().constLast().startsWith("Error: No se pudo guardar la configuración"),
                 qPrintable(seam->log().constLast()));
    }

    void helpOpensIndexHtmThroughTheDesktop()
    {
        writeFile("index.htm", "<html><title>Ayuda</title></html>");
        Desktop desktop;
        QDesktopServices::setUrlHandler("file", &desktop, "open");
        QVERIFY(open());
        w<QAbstractButton>("Ayuda")->click();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(QDir::current().absoluteFilePath("index.htm"))});
        QVERIFY(seam->log().isEmpty());
    }

    void helpMissingOrWithoutViewerIsReportedAndNothingChanges()
    {
        QVERIFY(open());
        QWidget *page = w<QTabWidget>("Ficha")->currentWidget();
        w<QAbstractButton>("Ayuda")->click();
        QCOMPARE(seam->log(), QStringList{"Error: No se encuentra el archivo "
                                          + QDir::toNativeSeparators(QDir::current().absoluteFilePath("index.htm"))
                                          + "."});
        QCOMPARE(w<QTabWidget>("Ficha")->currentWidget(), page);

        // With the file there but no program to show it (this platform has none).
        writeFile("index.htm", "<html></html>");
        w<QAbstractButton>("Ayuda")->click();
        QCOMPARE(seam->log().size(), 2);
        QVERIFY2(seam->log().constLast().startsWith("Error: No hay ningún programa para abrir"),
                 qPrintable(seam->log().constLast()));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
