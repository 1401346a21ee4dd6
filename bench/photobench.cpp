#include "photobench.h"

#include "catalogue/catalogue.h"
#include "catalogue/tabledefinitions.h"
#include "maintenance/flowerphoto.h"
#include "maintenance/storedphoto.h"
#include "store/table.h"
#include "tabletool.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QRadialGradient>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QToolButton>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

constexpr QSize kTwoMegapixels(1632, 1224);
constexpr QSize kTwelveMegapixels(4000, 3000);
constexpr int kTwoCount = 50;
constexpr int kTwelveCount = 10;
// The photo frame of the window as it opens.
constexpr QSize kFrame(328, 323);
constexpr int kOpenFlowers = 2500;

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Something like what a camera gives: a sky, soft overlapping petals and leaves, sensor noise,
// and the camera's own JPEG compression, decoded.
QImage cameraPhoto(QSize size, quint32 seed)
{
    QImage picture(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    {
        QPainter painter(&picture);
        QLinearGradient sky(0, 0, 0, size.height());
        sky.setColorAt(0, QColor(90, 140, 200));
        sky.setColorAt(1, QColor(40, 90, 40));
        painter.fillRect(picture.rect(), sky);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 300; ++i) {
            const QPointF at(random.bounded(size.width()), random.bounded(size.height()));
            const double radius = (0.01 + 0.08 * random.generateDouble()) * size.width();
            QColor colour = QColor::fromHsvF(random.generateDouble(), 0.3 + 0.6 * random.generateDouble(),
                                             0.3 + 0.7 * random.generateDouble());
            QRadialGradient petal(at, radius);
            petal.setColorAt(0, colour);
            colour.setAlphaF(0);
            petal.setColorAt(1, colour);
            painter.setBrush(petal);
            painter.drawEllipse(at, radius, radius * (0.5 + random.generateDouble()));
        }
    }
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = int(random.bounded(7)) - 3;
            const auto add = [noise](int c) { return std::clamp(c + noise, 0, 255); };
            row[x] = qRgb(add(qRed(row[x])), add(qGreen(row[x])), add(qBlue(row[x])));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 90);
    return QImage::fromData(jpeg).convertToFormat(QImage::Format_RGB32);
}

void sqliteOrDie(sqlite3 *db, int rc)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "SQLite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Gives every flower whose key `photoOf` names a photo, in one transaction, and the system
// `systemOf` says: the moves below walk one system at a time.
template<typename PhotoOf, typename SystemOf>
void storePhotos(const QString &folder, int flowers, PhotoOf photoOf, SystemOf systemOf)
{
    sqlite3 *db = nullptr;
    sqliteOrDie(db, sqlite3_open(QDir(folder).filePath(QStringLiteral("Flores.db")).toUtf8().constData(), &db));
    sqliteOrDie(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr));
    sqlite3_stmt *update = nullptr;
    sqliteOrDie(db, sqlite3_prepare_v2(db, "UPDATE Flores SET Foto = ?, Tipo = ? WHERE Clave = ?", -1, &update, nullptr));
    for (int key = 1; key <= flowers; ++key) {
        const QByteArray bytes = photoOf(key);
        if (bytes.isEmpty())
            sqlite3_bind_null(update, 1);
        else
            sqlite3_bind_blob(update, 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        const QByteArray system = QByteArray::number(systemOf(key));
        sqlite3_bind_text(update, 2, system.constData(), int(system.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(update, 3, key);
        sqliteOrDie(db, sqlite3_step(update));
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
    sqliteOrDie(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

// 50 flowers of system 1 with a 2-megapixel photo each and 10 of system 2 with 12 megapixels,
// every photo a different one, stored as the program stores them.
QString prepareMovesCatalogue(const QString &base, double &twoBytes, double &twelveBytes)
{
    const QString folder = QDir(base).filePath(QStringLiteral("fotos"));
    const QString done = QDir(folder).filePath(QStringLiteral("listo"));
    if (!QFileInfo::exists(done)) {
        std::printf("Generando el catálogo de fotos (%d de 2 MP, %d de 12 MP)...\n", kTwoCount, kTwelveCount);
        std::fflush(stdout);
        QDir(folder).removeRecursively();
        tabletool::generateSynthetic(folder, kTwoCount + kTwelveCount, 2000, 5, 1);
        storePhotos(
            folder, kTwoCount + kTwelveCount,
            [](int key) {
                return photo::encodePhoto(cameraPhoto(key <= kTwoCount ? kTwoMegapixels : kTwelveMegapixels, quint32(key)));
            },
            [](int key) { return key <= kTwoCount ? 1 : 2; });
        QFile(done).open(QIODevice::WriteOnly);
    }
    store::Table flowers(QDir(folder).filePath(QStringLiteral("Flores.db")), catalogue::floresDef(),
                         store::TableFile::Durability::Full);
    const int foto = flowers.fieldIndex(QStringLiteral("Foto"));
    twoBytes = double(flowers.blob(*flowers.findPrimary(1), foto).size()) / 1e6;
    twelveBytes = double(flowers.blob(*flowers.findPrimary(kTwoCount + 1), foto).size()) / 1e6;
    return folder;
}

// The controls of the photo frame as the flower page has them, on screen at the frame's size.
struct Frame
{
    QWidget window;
    QScrollArea *box = new QScrollArea(&window);
    QLabel *image = new QLabel;
    QButtonGroup *fit = new QButtonGroup(&window);
    QToolButton *buttons[4] = {new QToolButton(&window), new QToolButton(&window), new QToolButton(&window),
                               new QToolButton(&window)};

    Frame()
    {
        box->setFrameShape(QFrame::NoFrame);
        box->setWidgetResizable(true);
        box->setWidget(image);
        image->setAutoFillBackground(true);
        for (int i = 0; i < 3; ++i)
            fit->addButton(new QRadioButton(&window), i);
        box->setGeometry(QRect(QPoint(0, 0), kFrame));
        window.resize(kFrame);
        window.show();
    }
    FlowerPhoto::Controls controls() { return {box, image, fit, buttons[0], buttons[1], buttons[2], buttons[3]}; }
};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Moves the cursor across every flower of one system in each fit mode: the move, the photo
// read from the table, decoded as far as the frame needs, fitted and painted.
void measureMoves(Catalogue &c, Frame &frame, FlowerPhoto &photo, int system, const char *what)
{
    c.TFlores.setFilterText(QStringLiteral("Tipo=%1").arg(system));
    const char *const modes[] = {"Original", "Proporc.", "Ajustado"};
    for (const int mode : {2, 1, 0}) {
        frame.fit->button(mode)->setChecked(true);
        c.TFlores.first();
        photo.AjustarFoto();
        frame.image->repaint();
        photo.finishDecoding();
        std::vector<double> wall, cpu, whole;
        for (int i = 1; i < c.TFlores.recordCount(); ++i) {
            settle();
            const double cpu0 = cpuMs();
            QElapsedTimer timer;
            timer.start();
            c.TFlores.next();
            photo.AjustarFoto();
            frame.image->repaint();
            wall.push_back(double(timer.nsecsElapsed()) / 1e6);
            cpu.push_back(cpuMs() - cpu0);
            // At its own size the frame waits for the whole photo, decoded off the window's thread.
            photo.finishDecoding();
            whole.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("fotos %-6s %-9s %2zu pasos: mediana %6.2f ms (máx. %6.2f, CPU %6.2f ms)", what, modes[mode],
                    wall.size(), median(wall), *std::max_element(wall.begin(), wall.end()), median(cpu));
        if (mode == 0)
            std::printf("; la foto entera a los %6.1f ms", median(whole));
        std::printf("\n");
    }
    c.TFlores.setFilterText(QString());
}

// What each move would cost without the shrunk copy: the whole photo decoded and shrunk to the
// frame, as for a plain PNG written by another program.
void measureWithoutCopy(Catalogue &c, int system, const char *what)
{
    c.TFlores.setFilterText(QStringLiteral("Tipo=%1").arg(system));
    std::vector<double> wall;
    for (c.TFlores.first(); !c.TFlores.eof(); c.TFlores.next()) {
        const QByteArray bytes = c.TFlores.asBytes(QStringLiteral("Foto"));
        QElapsedTimer timer;
        timer.start();
        const QImage whole = photo::decodePhoto(bytes);
        const QImage fitted = whole.scaled(kFrame, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("fotos %-6s sin la copia reducida (PNG entero + reducir al marco): mediana %7.1f ms\n", what, median(wall));
    c.TFlores.setFilterText(QString());
}

struct Opening
{
    double wall = 0;
    double cpu = 0; // of the whole process, its start included
};

Opening openFresh(const QString &program, const QString &folder)
{
    QProcess child;
    child.start(program, {QStringLiteral("--open"), folder});
    child.waitForFinished(-1);
    Opening o;
    long mb = 0;
    std::sscanf(child.readAllStandardOutput().constData(), "%lf %ld %lf", &o.wall, &mb, &o.cpu);
    return o;
}

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files))
        total += f.size();
    return total;
}

} // namespace

void measurePhotoOpening(const QString &program, const QString &base)
{
    const QString plain = QDir(base).filePath(QStringLiteral("fotos-apertura-sin"));
    const QString withPhotos = QDir(base).filePath(QStringLiteral("fotos-apertura-con"));
    std::printf("Generando dos catálogos de %d flores, uno con una foto de 2 MP en cada flor...\n", kOpenFlowers);
    std::fflush(stdout);
    QDir(plain).removeRecursively();
    QDir(withPhotos).removeRecursively();
    tabletool::generateSynthetic(plain, kOpenFlowers, 20000, 10, 1);
    tabletool::generateSynthetic(withPhotos, kOpenFlowers, 20000, 10, 1);
    // One photo's bytes in every row: opening reads none of them, whatever they show.
    const QByteArray bytes = photo::encodePhoto(cameraPhoto(kTwoMegapixels, 7));
    storePhotos(withPhotos, kOpenFlowers, [&](int) { return bytes; }, [](int key) { return key % 13 + 1; });
    storePhotos(plain, kOpenFlowers, [](int) { return QByteArray(); }, [](int key) { return key % 13 + 1; });
    // Nine gigabytes just written would still be going to the disk while the openings run.
    ::sync();

    std::vector<double> without, with, withoutCpu, withCpu;
    for (int i = 0; i < 9; ++i) {
        const Opening a = openFresh(program, plain), b = openFresh(program, withPhotos);
        without.push_back(a.wall);
        with.push_back(b.wall);
        withoutCpu.push_back(a.cpu);
        withCpu.push_back(b.cpu);
    }
    const double a = median(without), b = median(with), ac = median(withoutCpu), bc = median(withCpu);
    std::printf("fotos abrir %d flores (proceso nuevo, mediana de 9): sin fotos %.1f ms, con fotos de 2 MP %.1f ms "
                "(%+.1f %%); CPU del proceso %.1f y %.1f ms (%+.1f %%)\n",
                kOpenFlowers, a, b, (b / a - 1) * 100, ac, bc, (bc / ac - 1) * 100);
    std::printf("      Flores.db %.1f MB y %.0f MB\n", double(QFileInfo(QDir(plain).filePath("Flores.db")).size()) / 1e6,
                double(QFileInfo(QDir(withPhotos).filePath("Flores.db")).size()) / 1e6);
    std::printf("      (carpetas completas: %.0f MB y %.0f MB; se borran)\n", double(folderBytes(plain)) / 1e6,
                double(folderBytes(withPhotos)) / 1e6);
    QDir(plain).removeRecursively();
    QDir(withPhotos).removeRecursively();
}

void measurePhotoMoves(const QString &base)
{
    double twoMB = 0, twelveMB = 0;
    const QString folder = prepareMovesCatalogue(base, twoMB, twelveMB);
    std::printf("fotos guardadas: 2 MP %.2f MB, 12 MP %.2f MB (PNG sin pérdida, con la copia reducida)\n", twoMB, twelveMB);
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);
    {
        Catalogue c;
        c.open();
        Frame frame;
        FlowerPhoto photo(frame.controls(), c.SFlores);
        settle();
        measureMoves(c, frame, photo, 1, "2 MP");
        measureMoves(c, frame, photo, 2, "12 MP");
        measureWithoutCopy(c, 1, "2 MP");
        measureWithoutCopy(c, 2, "12 MP");
    }
    QDir::setCurrent(before);
    std::fflush(stdout);
}
