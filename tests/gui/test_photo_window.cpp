// Flower photos in the real main window on the fixture catalogue, in which only Agrimonia has a
// photo: loading through the file dialog, replacing, pasting, copying, deleting, the three fit
// modes, and damaged or hostile picture files.
#include "photofiles.h"
#include "testsupport.h"
#include "windowtest.h"

#include "catalogue/tabledefinitions.h"
#include "maintenance/picturedialog.h"
#include "maintenance/storedphoto.h"
#include "store/table.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kJpeg = QStringLiteral("Archivos JPEG");
const QString kOther = QStringLiteral("Otros (*.bmp;*.ico;*.emf;*.wmf)");
const QString kReplace = QStringLiteral("Confirmar: Desea reemplazar esta imagen ?");
const QString kDelete = QStringLiteral("Confirmar: Desea eliminar esta imagen ?");
constexpr qint32 kAgrimonia = 1;
constexpr qint32 kMilenrama = 4;

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

bool quartersAt(const QImage &image, QRect area, int tolerance)
{
    for (int q = 0; q < 4; ++q) {
        const int x = area.x() + (q == 0 || q == 3 ? area.width() / 4 : area.width() * 3 / 4);
        const int y = area.y() + (q < 2 ? area.height() / 4 : area.height() * 3 / 4);
        if (!near(image.pixelColor(x, y), quarterColour(q), tolerance))
            return false;
    }
    return true;
}

} // namespace

class TestPhotoWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;
    std::unique_ptr<FileDialogSeam> files;

    void click(const char *name) const { w<QAbstractButton>(name)->click(); }
    QScrollArea *box() const { return w<QScrollArea>("ScrBox"); }
    QLabel *image() const { return w<QLabel>("DBImage1"); }

    void goTo(const QString &flower)
    {
        DataGrid *list = grid("GrFlor");
        const int row = int(columnTexts(list).indexOf(flower));
        QVERIFY2(row >= 0, qPrintable(flower));
        list->setCurrentIndex(list->model()->index(row, 0));
        settle();
    }
    QString picture(const QString &name, const QByteArray &bytes) const
    {
        const QString path = QDir(folder->path()).filePath(name);
        writeFile(path, bytes);
        return path;
    }
    // Foto as the table file holds it.
    static QByteArray stored(qint32 flower)
    {
        store::Table flowers(QDir::current().filePath("Flores.db"), catalogue::floresDef(), store::TableFile::Durability::Full);
        return flowers.blob(*flowers.findPrimary(flower), flowers.fieldIndex("Foto"));
    }
    static QImage storedPicture(qint32 flower) { return photo::decodePhoto(stored(flower)); }
    // Loads a file through the dialog, answering the questions that come with the given answers.
    void load(const QString &path, const QString &filter, std::initializer_list<bool> answers = {})
    {
        files->answer(path, filter);
        seam->answer(answers);
        click("Leer");
    }
    // The label as painted, once whatever it waits for has come.
    QImage painted() const
    {
        QCoreApplication::processEvents();
        return rgb(image()->grab().toImage());
    }
    // The scroll box shows or hides its bars once the events of the change have run.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    void chooseFit(int mode) const
    {
        click(qPrintable(QStringLiteral("AjusteItem%1").arg(mode)));
        settle();
    }
    bool scrollBarsShown() const
    {
        return box()->horizontalScrollBar()->isVisible() || box()->verticalScrollBar()->isVisible();
    }

private slots:
    void init()
    {
        folder = std::make_unique<WorkingFolder>();
        QVERIFY(open());
        files = std::make_unique<FileDialogSeam>();
        form->CBSelChange(0);
        QGuiApplication::clipboard()->setText(QStringLiteral("antes"));
    }
    void cleanup()
    {
        close();
        files.reset();
        folder.reset();
    }

    void startsStretchedOverTheWholeBox()
    {
        QCOMPARE(w<QAbstractButton>("AjusteItem2")->isChecked(), true);
        goTo("Agrimonia");
        QCOMPARE(image()->geometry(), box()->viewport()->rect());
        QVERIFY(!scrollBarsShown());
    }

    void loadingAJpegAsksNothingWithoutAPhotoAndLeavesItOnTheClipboard()
    {
        goTo("Milenrama");
        const QImage landscape = quarteredPicture(QSize(400, 300));
        load(picture("paisaje.jpg", jpegOf(landscape)), kJpeg);

        QCOMPARE(seam->log(), QStringList());
        QCOMPARE(files->showings().size(), 1);
        const FileDialogSeam::Showing &shown = files->showings().first();
        QCOMPARE(shown.title, QStringLiteral("Seleccione la foto"));
        QCOMPARE(shown.filters, QStringList({kJpeg, kOther}));
        QCOMPARE(shown.selectedFilter, kJpeg);
        QCOMPARE(shown.defaultSuffix, QStringLiteral("JPG"));
        QVERIFY(shown.hasPreview);

        // Posted at once, as a lossless picture of what the JPEG decodes to.
        const QImage kept = storedPicture(kMilenrama);
        QCOMPARE(kept.size(), QSize(400, 300));
        QVERIFY(quartersAt(kept, kept.rect(), 12));
        QVERIFY(stored(kMilenrama).startsWith("\x89PNG"));
        QCOMPARE(rgb(QGuiApplication::clipboard()->image()), kept);
        QVERIFY(quartersAt(painted(), image()->rect(), 16));
    }

    void jpegsOfOtherColourSpaces_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("greyscale") << greyJpeg(QSize(60, 40), 70) << QColor(70, 70, 70);
        QTest::newRow("CMYK as Adobe writes it") << cmykJpeg(QSize(60, 40), 0, 255, 255, 0, CmykStorage::AdobeInverted)
                                                 << QColor(255, 0, 0);
        QTest::newRow("CMYK, plain") << cmykJpeg(QSize(60, 40), 255, 0, 255, 0, CmykStorage::Plain) << QColor(0, 255, 0);
    }
    void jpegsOfOtherColourSpaces()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(QColor, colour);
        goTo("Milenrama");
        load(picture("otra.jpg", jpeg), kJpeg);
        const QImage kept = storedPicture(kMilenrama);
        QCOMPARE(kept.size(), QSize(60, 40));
        QVERIFY2(near(kept.pixelColor(30, 20), colour, 4), qPrintable(kept.pixelColor(30, 20).name()));
        QVERIFY(near(painted().pixelColor(image()->width() / 2, image()->height() / 2), colour, 4));
    }

    void replacingAsksAndTheDialogRemembersTheFilter()
    {
        goTo("Milenrama");
        load(picture("primera.jpg", jpegOf(quarteredPicture(QSize(80, 60)))), kJpeg);
        const QByteArray first = stored(kMilenrama);

        const QImage bitmap = quarteredPicture(QSize(50, 70));
        const QString bmp = picture("segunda.bmp", formatOf(bitmap, "BMP"));
        load(bmp, kOther, {false});
        QCOMPARE(seam->log(), QStringList({kReplace}));
        QCOMPARE(stored(kMilenrama), first);

        load(bmp, kOther, {true});
        QCOMPARE(seam->log(), QStringList({kReplace, kReplace}));
        QCOMPARE(storedPicture(kMilenrama), bitmap);

        files->cancel();
        click("Leer");
        QCOMPARE(seam->log().size(), 2);
        QCOMPARE(storedPicture(kMilenrama), bitmap);

        QStringList chosen;
        for (const FileDialogSeam::Showing &s : files->showings())
            chosen << s.selectedFilter;
        // The first time the first filter, then the one the last file was chosen under.
        QCOMPARE(chosen, QStringList({kJpeg, kJpeg, kOther, kOther}));
    }

    void iconsAndMetafilesBecomeBitmaps()
    {
        goTo("Milenrama");
        QImage icon(48, 48, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 48; ++x)
                icon.setPixelColor(x, y, QColor(0, 0, 200));
        load(picture("icono.ico", formatOf(icon, "ICO")), kOther);
        QImage kept = storedPicture(kMilenrama);
        QCOMPARE(kept.pixelColor(10, 10), QColor(0, 0, 200));
        QCOMPARE(kept.pixelColor(10, 40), QColor(Qt::white));

        load(picture("dibujo.wmf", metafileWithRectangle(QColor(0, 160, 0))), kOther, {true});
        kept = storedPicture(kMilenrama);
        QCOMPARE(kept.size(), QSize(96, 48));
        QCOMPARE(kept.pixelColor(20, 20), QColor(0, 160, 0));
        QCOMPARE(kept.pixelColor(80, 20), QColor(Qt::white));
    }

    void pastingTakesOnlyAPicture()
    {
        // Text alone on the clipboard: the question still comes first, and nothing changes.
        goTo("Agrimonia");
        const QByteArray agrimonia = stored(kAgrimonia);
        QVERIFY(!agrimonia.isEmpty());
        QGuiApplication::clipboard()->setText(QStringLiteral("solo texto"));
        seam->answer({true});
        click("Pegar");
        QCOMPARE(seam->log(), QStringList({kReplace}));
        QCOMPARE(stored(kAgrimonia), agrimonia);

        // Without a photo nothing is asked.
        goTo("Milenrama");
        click("Pegar");
        QCOMPARE(seam->log().size(), 1);
        QVERIFY(stored(kMilenrama).isNull());

        const QImage portrait = quarteredPicture(QSize(300, 400));
        QGuiApplication::clipboard()->setImage(portrait);
        click("Pegar");
        QCOMPARE(seam->log().size(), 1);
        QCOMPARE(storedPicture(kMilenrama), portrait);
        // The layout follows the pasted photo.
        QVERIFY(quartersAt(painted(), image()->rect(), 16));
    }

    void copyingPutsTheWholePhotoOnTheClipboard()
    {
        goTo("Milenrama");
        click("Copiar");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("antes"));

        // Larger than its shrunk copy: what is copied is the whole photo, pixel for pixel.
        const QImage large = quarteredPicture(QSize(1500, 1100));
        QGuiApplication::clipboard()->setImage(large);
        click("Pegar");
        goTo("Agrimonia");
        goTo("Milenrama");
        QGuiApplication::clipboard()->setText(QStringLiteral("antes"));
        click("Copiar");
        QCOMPARE(rgb(QGuiApplication::clipboard()->image()), large);
        QCOMPARE(seam->log(), QStringList());

        goTo("Agrimonia");
        click("Copiar");
        QCOMPARE(rgb(QGuiApplication::clipboard()->image()), storedPicture(kAgrimonia));
    }

    void deletingAsksEvenWithoutAPhoto()
    {
        goTo("Milenrama");
        seam->answer({true});
        click("Borrar");
        QCOMPARE(seam->log(), QStringList({kDelete}));
        QVERIFY(stored(kMilenrama).isNull());

        goTo("Agrimonia");
        const QByteArray agrimonia = stored(kAgrimonia);
        seam->answer({false});
        click("Borrar");
        QCOMPARE(stored(kAgrimonia), agrimonia);
        seam->answer({true});
        click("Borrar");
        QCOMPARE(seam->log(), QStringList({kDelete, kDelete, kDelete}));
        QVERIFY(stored(kAgrimonia).isNull());
        // Nothing painted over the background.
        const QImage empty = painted();
        QCOMPARE(empty.pixelColor(empty.width() / 2, empty.height() / 2), empty.pixelColor(1, 1));
        QCOMPARE(empty.pixelColor(1, 1), image()->palette().color(QPalette::Window));
    }

    void threeFitModes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("landscape") << QSize(1600, 1200);
        QTest::newRow("portrait") << QSize(1200, 1600);
    }
    void threeFitModes()
    {
        QFETCH(QSize, size);
        goTo("Milenrama");
        QGuiApplication::clipboard()->setImage(quarteredPicture(size));
        click("Pegar");
        const QSize outer = box()->size();

        chooseFit(0);
        QCOMPARE(image()->size(), size);
        QVERIFY(box()->horizontalScrollBar()->isVisible() && box()->verticalScrollBar()->isVisible());
        QCOMPARE(box()->horizontalScrollBar()->maximum(), size.width() - box()->viewport()->width());
        QCOMPARE(box()->verticalScrollBar()->maximum(), size.height() - box()->viewport()->height());
        // At its own size: the box shows the top left quarter, exactly, once the whole photo is in.
        QTRY_COMPARE(painted().pixelColor(box()->viewport()->width() - 1, box()->viewport()->height() - 1),
                     quarterColour(0));
        box()->horizontalScrollBar()->setValue(box()->horizontalScrollBar()->maximum());
        QCOMPARE(rgb(box()->viewport()->grab().toImage()).pixelColor(box()->viewport()->width() - 1, 0), quarterColour(1));

        chooseFit(1);
        QVERIFY(!scrollBarsShown());
        const QRect place = image()->geometry();
        QCOMPARE(place.topLeft(), QPoint(0, 0));
        if (size.width() > size.height()) {
            QCOMPARE(place.width(), box()->viewport()->width());
            QCOMPARE(place.height(), size.height() * outer.width() / size.width());
        } else {
            QCOMPARE(place.height(), box()->viewport()->height());
            QCOMPARE(place.width(), size.width() * outer.height() / size.height());
        }
        QVERIFY(quartersAt(painted(), image()->rect(), 16));

        chooseFit(2);
        QVERIFY(!scrollBarsShown());
        QCOMPARE(image()->geometry(), box()->viewport()->rect());
        QVERIFY(quartersAt(painted(), image()->rect(), 16));
    }

    void everyMoveLaysThePhotoOutAgain()
    {
        goTo("Milenrama");
        QGuiApplication::clipboard()->setImage(quarteredPicture(QSize(1600, 1200)));
        click("Pegar");
        chooseFit(0);
        QVERIFY(scrollBarsShown());
        // A flower without a photo: the whole box, whatever the mode, and no bars.
        goTo("Mímulo");
        QCOMPARE(image()->geometry(), box()->viewport()->rect());
        QVERIFY(!scrollBarsShown());
        goTo("Milenrama");
        QCOMPARE(image()->size(), QSize(1600, 1200));
        QVERIFY(scrollBarsShown());
        chooseFit(1);
        goTo("Mímulo");
        QCOMPARE(image()->geometry(), box()->viewport()->rect());
        // The system selector lays it out too.
        goTo("Milenrama");
        chooseFit(0);
        form->CBSelChange(2);
        QCOMPARE(image()->size(), QSize(1600, 1200));
    }

    void hostileFilesNeverReplaceThePhoto_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("said");
        const QByteArray jpeg = jpegOf(quarteredPicture(QSize(200, 150)));
        const QByteArray bmp = formatOf(quarteredPicture(QSize(200, 150)), "BMP");
        const QString unchanged = QStringLiteral("\rLa foto de la flor no cambió.");
        const QString tooLarge = QStringLiteral("Aviso: La imagen mide 60000 x 60000 píxeles: el programa acepta fotos "
                                                "de hasta 12000 x 12000 píxeles y 100 megapíxeles.")
            + unchanged;
        QTest::newRow("truncated JPEG") << "corta.jpg" << jpeg.left(jpeg.size() / 2) << kJpeg << "";
        QTest::newRow("empty JPEG") << "vacia.jpg" << QByteArray() << kJpeg << "";
        QTest::newRow("random bytes as JPEG") << "azar.jpg" << garbage(10000, 21) << kJpeg << "";
        QTest::newRow("a bitmap under the JPEG filter") << "foto.bmp" << bmp << kJpeg << "";
        QTest::newRow("JPEG claiming 60000 x 60000") << "enorme.jpg" << withJpegSize(jpeg, QSize(60000, 60000)) << kJpeg
                                                     << tooLarge;
        QTest::newRow("bitmap claiming 60000 x 60000") << "enorme.bmp" << withBitmapSize(bmp, QSize(60000, 60000))
                                                       << kOther << tooLarge;
        QTest::newRow("truncated bitmap") << "corta.bmp" << bmp.left(bmp.size() / 2) << kOther
                                          << "Error: Bitmap image is not valid.";
        QTest::newRow("JPEG named as a bitmap") << "falsa.bmp" << jpeg << kOther << "Error: Bitmap image is not valid.";
        QTest::newRow("wrong extension") << "foto.txt" << bmp << kOther << "Error: Unknown picture file extension (.txt)";
        QTest::newRow("random bytes as an icon") << "azar.ico" << garbage(3000, 22) << kOther
                                                 << "Aviso: El archivo azar.ico no es un icono válido." + unchanged;
        QTest::newRow("random bytes as a metafile")
            << "azar.wmf" << garbage(3000, 23) << kOther
            << "Aviso: El archivo azar.wmf no es un metarchivo que el programa pueda dibujar." + unchanged;
        QTest::newRow("enhanced metafile") << "dibujo.emf" << garbage(3000, 24) << kOther
                                           << "Aviso: El programa no puede convertir el metarchivo dibujo.emf en una "
                                              "foto.\rGuarde la imagen como JPEG o BMP y cárguela de nuevo; la foto de "
                                              "la flor no cambió.";
    }
    void hostileFilesNeverReplaceThePhoto()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, filter);
        QFETCH(QString, said);
        goTo("Agrimonia");
        const QByteArray agrimonia = stored(kAgrimonia);
        load(picture(name, bytes), filter, {true});
        QStringList expected{kReplace};
        if (!said.isEmpty())
            expected << said;
        QCOMPARE(seam->log(), expected);
        QCOMPARE(stored(kAgrimonia), agrimonia);
        // The window goes on: the next good file is taken.
        load(picture("buena.bmp", formatOf(quarteredPicture(QSize(40, 30)), "BMP")), kOther, {true});
        QCOMPARE(storedPicture(kAgrimonia), quarteredPicture(QSize(40, 30)));
    }

    void thePreviewShowsThePictureUnderTheCursor()
    {
        const QString jpeg = picture("vista.jpg", jpegOf(quarteredPicture(QSize(800, 600))));
        const QString fifo = QDir(folder->path()).filePath("tubo.jpg");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QImage seen, afterFifo, afterFolder;
        files->cancel([&](QFileDialog &dialog) {
            auto *pane = dialog.findChild<QLabel *>("VistaPrevia");
            emit dialog.currentChanged(jpeg);
            seen = pane->pixmap().toImage();
            emit dialog.currentChanged(fifo);
            afterFifo = pane->pixmap().toImage();
            emit dialog.currentChanged(jpeg);
            emit dialog.currentChanged(folder->path());
            afterFolder = pane->pixmap().toImage();
        });
        click("Leer");
        QVERIFY(!seen.isNull());
        QVERIFY(seen.width() <= 200 && seen.height() <= 200);
        // Shrunk whole, its proportions kept to the pixel.
        QVERIFY(qAbs(seen.height() - seen.width() * 600 / 800) <= 1);
        QVERIFY(seen.width() >= 190);
        QVERIFY(quartersAt(rgb(seen), seen.rect(), 16));
        QVERIFY(afterFifo.isNull());
        QVERIFY(afterFolder.isNull());
    }
};

QTEST_MAIN(TestPhotoWindow)
#include "test_photo_window.moc"
