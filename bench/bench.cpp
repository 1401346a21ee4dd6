// Measures opening, searching, processing and editing on synthetic catalogues at the real and the
// largest scale, against SQLite's own queries over the same files.
#include "catalogue/catalogue.h"
#include "maintenance/catalogueedits.h"
#include "repertory/symptomsearch.h"
#include "store/codepage.h"
#include "repertory/worksheet.h"
#include "repertory/processing.h"
#include "repertory/mixturesuggestion.h"
#include "tabletool.h"
#include "photobench.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

struct Scale
{
    const char *name;
    int flowers;
    int symptoms;
    int links;
};

constexpr Scale kScales[] = {{"real", 1000, 20000, 10}, {"max", 2500, 250000, 10}};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template<typename F>
double timeMs(int times, F &&f)
{
    std::vector<double> t;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        t.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(t);
}

long peakMemoryMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void require(sqlite3 *db, int rc)
{
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Child process: open the five tables and six views from scratch, report time and memory.
int openInFreshProcess(const QString &folder)
{
    QDir::setCurrent(folder);
    QElapsedTimer timer;
    timer.start();
    Catalogue c;
    c.open();
    // The processor's time as well, which the other programs on the machine do not lengthen.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("%.1f %ld %.1f\n", double(timer.nsecsElapsed()) / 1e6, peakMemoryMB(), cpuMs);
    return 0;
}

QString prepareCatalogue(const QString &base, const Scale &e)
{
    const QString folder = QDir(base).filePath(QString::fromLatin1(e.name));
    if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Rel.db")))) {
        std::printf("Generando el catálogo %s (%d flores, %d síntomas)...\n", e.name, e.flowers, e.symptoms);
        std::fflush(stdout);
        QDir(folder).removeRecursively();
        tabletool::generateSynthetic(folder, e.flowers, e.symptoms, e.links, 1);
    }
    return folder;
}

void chooseSymptoms(Catalogue &c, int count, quint32 seed)
{
    c.emptySelection();
    QRandomGenerator random(seed);
    std::vector<qint32> keys;
    const int total = c.TSint.recordCount();
    while (int(keys.size()) < count) {
        const qint32 k = qint32(random.bounded(total)) + 1;
        if (std::find(keys.begin(), keys.end(), k) == keys.end())
            keys.push_back(k);
    }
    std::vector<store::Record> rows;
    for (qint32 k : keys)
        rows.push_back({{k}, {true}});
    c.TRepS.table()->insertMany(rows);
}

// SQLite alone: the same counting as one grouped query over the link file.
double groupedQuery(const QString &folder, const std::vector<qint32> &keys, int times)
{
    sqlite3 *db = nullptr;
    // The chosen symptoms go to a temporary table of this connection; Rel.db is only read.
    require(db, sqlite3_open_v2(QDir(folder).filePath(QStringLiteral("Rel.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READWRITE, nullptr));
    require(db, sqlite3_exec(db, "CREATE TEMP TABLE RepSint(Clave INTEGER PRIMARY KEY)", nullptr, nullptr, nullptr));
    sqlite3_stmt *insert = nullptr;
    require(db, sqlite3_prepare_v2(db, "INSERT INTO temp.RepSint VALUES (?)", -1, &insert, nullptr));
    for (qint32 k : keys) {
        sqlite3_bind_int(insert, 1, k);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_stmt *q = nullptr;
    require(db, sqlite3_prepare_v2(db,
                                  "SELECT KFlor, COUNT(*) FROM Rel WHERE KSint IN (SELECT Clave FROM temp.RepSint) "
                                  "GROUP BY KFlor ORDER BY 2 DESC",
                                  -1, &q, nullptr));
    int rows = 0;
    const double ms = timeMs(times, [&] {
        rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(q);
    });
    if (rows == 0)
        std::printf("   (la consulta de SQLite no devolvió filas)\n");
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

double likeQuery(const QString &folder, const QString &text)
{
    sqlite3 *db = nullptr;
    require(db, sqlite3_open_v2(QDir(folder).filePath(QStringLiteral("Sintomas.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt *q = nullptr;
    require(db, sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Sintomas WHERE Nom LIKE ?", -1, &q, nullptr));
    const QByteArray pattern = "%" + text.toUtf8() + "%";
    sqlite3_bind_text(q, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
    const double ms = timeMs(3, [&] {
        while (sqlite3_step(q) == SQLITE_ROW) { }
        sqlite3_reset(q);
    });
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

// The floor: how many names of the folded buffer hold the text, in one bare pass.
int bareScan(const QByteArray &buffer, const QByteArray &text)
{
    int n = 0;
    const char *p = buffer.constData(), *end = p + buffer.size();
    while (p < end) {
        const void *hit = memmem(p, std::size_t(end - p), text.constData(), std::size_t(text.size()));
        if (!hit)
            break;
        ++n;
        const auto *h = static_cast<const char *>(hit);
        p = static_cast<const char *>(std::memchr(h, 0, std::size_t(end - h))) + 1;
    }
    return n;
}

// The text typed one key at a time in each mode, as the search box applies it on every change.
void measureSearch(Catalogue &c, const QString &folder, const char *scale)
{
    const QString typed = QStringLiteral("DOLOR DE CABEZA");
    search::NameIndex index(*c.TSint.table(), QStringLiteral("Nom"));
    std::vector<double> floorTimes, sqliteTimes;
    for (int i = 1; i <= typed.size(); ++i) {
        const QString text = typed.left(i);
        const QByteArray b = codepage::toWindows1252(text, char(0x8D));
        volatile int found = 0;
        floorTimes.push_back(timeMs(5, [&] { found = bareScan(index.buffer(), b); }));
        sqliteTimes.push_back(likeQuery(folder, text));
    }
    const double floorMs = median(floorTimes), sqliteMs = median(sqliteTimes);
    std::printf("%-5s búsqueda, mediana por tecla: recorrido desnudo (memmem) %.3f ms, SQLite LIKE %.2f ms\n", scale,
                floorMs, sqliteMs);
    // The first search builds the index, which folds every name once.
    const double buildMs = timeMs(3, [&] { search::NameIndex built(*c.TSint.table(), QStringLiteral("Nom")); });
    std::printf("%-5s búsqueda, construir el índice de nombres %.2f ms\n", scale, buildMs);
    for (int mode = 0; mode <= 3; ++mode) {
        // Each key's best of five passes over the whole typed text, then the median over keys.
        std::vector<double> best(std::size_t(typed.size()), 1e9);
        int visible = 0;
        QStringList words;
        for (int round = 0; round < 5; ++round) {
            // Every pass types the text afresh: nothing is remembered from the pass before.
            search::NameIndex fresh(*c.TSint.table(), QStringLiteral("Nom"));
            c.TSint.clearFilterCallback();
            for (int i = 1; i <= typed.size(); ++i) {
                QElapsedTimer timer;
                timer.start();
                visible = search::applySearch(c.TSint, fresh, mode, typed.left(i), words,
                                              [](store::Slot) { return true; });
                best[std::size_t(i - 1)] = std::min(best[std::size_t(i - 1)], double(timer.nsecsElapsed()) / 1e6);
            }
        }
        const double ms = median(best);
        std::printf("%-5s búsqueda modo %d, una tecla    %8.3f ms   %.2f x el recorrido   %.0f x más rápida que "
                    "SQLite   (%d visibles al final)\n",
                    scale, mode, ms, ms / floorMs, sqliteMs / ms, visible);
    }
    c.TSint.clearFilterCallback();
}

void measureProcessing(Catalogue &c, const QString &folder, const char *scale)
{
    store::Table &result = *c.TRepF.table();
    for (int n : {10, 100, 1000}) {
        chooseSymptoms(c, n, quint32(n));
        result.flush();
        const double ms = timeMs(9, [&] { repertory::processSelection(c); });
        // The result reaches its file behind, once the window is idle again.
        std::vector<double> writing;
        for (int i = 0; i < 9; ++i) {
            repertory::processSelection(c);
            writing.push_back(timeMs(1, [&] { result.flush(); }));
        }
        const double sq = groupedQuery(folder, repertory::selectedKeys(c), 9);
        std::printf("%-5s procesar %4d síntomas -> %4d flores   %7.2f ms   SQLite %7.2f ms   %.1f x"
                    "   (escritura diferida del resultado: %.2f ms)\n",
                    scale, n, c.TRepF.recordCount(), ms, sq, sq / ms, median(writing));
    }
}

// SQLite alone: the link pairs of the chosen symptoms, the bare material of the worksheet.
double pairQuery(const QString &folder, const std::vector<qint32> &keys, int times)
{
    sqlite3 *db = nullptr;
    require(db, sqlite3_open_v2(QDir(folder).filePath(QStringLiteral("Rel.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READONLY, nullptr));
    QByteArray sql = "SELECT KFlor, KSint FROM Rel WHERE KSint IN (";
    for (std::size_t i = 0; i < keys.size(); ++i)
        sql += (i ? "," : "") + QByteArray::number(keys[i]);
    sql += ")";
    sqlite3_stmt *q = nullptr;
    require(db, sqlite3_prepare_v2(db, sql.constData(), -1, &q, nullptr));
    volatile qint64 sum = 0;
    const double ms = timeMs(times, [&] {
        qint64 s = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            s += sqlite3_column_int(q, 0) + sqlite3_column_int(q, 1);
        sqlite3_reset(q);
        sum = s;
    });
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

// The largest worksheet: every flower of the catalogue as a result row against 200 chosen
// symptoms (the flowers the symptoms do not reach stand in for the rest of a bigger case).
// Built, weighted, ordered and measured for its column widths as the window does before it
// shows, against SQLite's bare query for the link pairs of the same symptoms.
void measureWorksheet(Catalogue &c, const QString &folder, const char *scale)
{
    chooseSymptoms(c, 200, 200);
    repertory::processSelection(c);
    std::vector<store::Record> rest;
    for (qint32 k = 1; k <= c.TFlores.recordCount(); ++k)
        if (!c.TRepF.table()->findPrimary(k))
            rest.push_back({{k, 1}, {true, true}});
    c.TRepF.table()->insertMany(rest);
    c.TRepF.table()->flush();

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    double buildMs = 0, sortMs = 0, widthsMs = 0;
    int references = 0;
    worksheet::Sheet sheet;
    auto assemble = [&] {
        QElapsedTimer timer;
        timer.start();
        sheet = worksheet::buildSheet(c, QStringLiteral("Nom1"));
        buildMs = double(timer.nsecsElapsed()) / 1e6;
        worksheet::OrdenarPorPuntaje(sheet);
        sortMs = double(timer.nsecsElapsed()) / 1e6 - buildMs;
        std::vector<int> columns(std::size_t(sheet.symptoms() + 2), worksheet::kColumnWidth);
        columns[0] = worksheet::widestText(sheet.names, font) + worksheet::kNameMargin;
        references = worksheet::referencesWidth(1024, columns);
        widthsMs = double(timer.nsecsElapsed()) / 1e6 - buildMs - sortMs;
    };
    // The first sheet of a run also measures the font's characters and pairs once.
    const double first = timeMs(1, assemble);
    // Both take well under a millisecond: many runs each, so the medians hold still.
    const double ms = timeMs(41, assemble);
    const double sq = pairQuery(folder, repertory::selectedKeys(c), 41);
    std::printf("%-5s planilla %d flores x %d síntomas   %7.2f ms (la primera %.2f ms; última: construir %.2f, "
                "ordenar %.2f, anchos %.2f; referencias %d px)   SQLite pares %7.2f ms   %.1f x\n",
                scale, sheet.rows(), sheet.symptoms(), ms, first, buildMs, sortMs, widthsMs, references, sq,
                sq / ms);
}

// The mixture suggestion over the rows of the largest worksheet, in the result's order, as
// they stand after measureWorksheet.
void measureMixture(Catalogue &c, const char *scale)
{
    const worksheet::Sheet sheet = worksheet::buildSheet(c, QStringLiteral("Nom1"));
    const std::vector<repertory::MixtureCandidate> candidates = repertory::mixtureCandidates(sheet);
    repertory::MixtureSuggestion mixture;
    const double ms = timeMs(9, [&] { mixture = repertory::suggestMixture(sheet.symptoms(), candidates); });
    std::printf("%-5s mezcla sugerida entre %d flores x %d síntomas   %7.2f ms   %s: %zu flores cubren %d "
                "síntomas (trabajo %lld de %lld)\n",
                scale, sheet.rows(), sheet.symptoms(), ms,
                mixture.method == repertory::MixtureSuggestion::Method::Exact ? "exacta" : "voraz", mixture.flowers.size(),
                mixture.covered, static_cast<long long>(mixture.work),
                static_cast<long long>(repertory::kMixtureWorkBudget));
}

// The five tables of a catalogue copied into `to`, made afresh: the edits change them.
QString copyCatalogue(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    for (const QString &name : tabletool::tableFileNames())
        if (!QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name))) {
            std::fprintf(stderr, "No se pudo copiar %s\n", qPrintable(name));
            std::exit(1);
        }
    return to;
}

// `count` symptoms that exist, chosen at random, as the selection.
void chooseExisting(Catalogue &c, int count, quint32 seed)
{
    c.emptySelection();
    const store::Table &symptoms = *c.TSintNames.table();
    const qint32 highest = symptoms.integer(symptoms.order(0).back(), symptoms.primaryField());
    QRandomGenerator random(seed);
    std::vector<store::Record> rows;
    std::vector<qint32> keys;
    while (int(keys.size()) < count) {
        const qint32 k = qint32(random.bounded(highest)) + 1;
        if (symptoms.findPrimary(k) && std::find(keys.begin(), keys.end(), k) == keys.end()) {
            keys.push_back(k);
            rows.push_back({{k}, {true}});
        }
    }
    c.TRepS.table()->insertMany(rows);
}

struct EditTimes
{
    std::vector<double> post, append, deleteSymptom, deleteFlower, link;
    qint64 symptomLinks = 0, flowerLinks = 0, linksAdded = 0;
};

// The catalogue changes of the maintenance pages, each timed alone, in a copy of the catalogue.
EditTimes measureEdits(const QString &folder)
{
    constexpr int kTimes = 7;
    QDir::setCurrent(folder);
    EditTimes t;
    Catalogue c;
    c.open();
    // The order rule of new symptoms, as the symptoms page applies it after every post.
    c.TSint.afterPost = [&c] {
        if (c.TSint.isNull(QStringLiteral("Orden"))) {
            c.TSint.edit();
            c.TSint.setInteger(QStringLiteral("Orden"), c.TSint.asInteger(QStringLiteral("Clave")));
            c.TSint.post();
        }
    };
    for (int i = 0; i < kTimes; ++i) {
        c.TFlores.moveTo((i * 97) % c.TFlores.recordCount());
        t.post.push_back(timeMs(1, [&] {
            c.TFlores.edit();
            c.TFlores.setText(QStringLiteral("Memo1"), QStringLiteral("Descripción revisada número %1").arg(i));
            c.TFlores.post();
        }));

        t.append.push_back(timeMs(1, [&] {
            c.TSint.append();
            c.TSint.setText(QStringLiteral("Nom"), QStringLiteral("Síntoma nuevo número %1").arg(i));
            c.TSint.post();
        }));

        c.TSint.moveTo((i * 7919) % c.TSint.recordCount());
        t.symptomLinks += c.TRelS.recordCount();
        t.deleteSymptom.push_back(timeMs(1, [&] { maintenance::deleteSymptomWithLinks(c); }));

        c.TFlores.moveTo((i * 331 + 5) % c.TFlores.recordCount());
        t.flowerLinks += c.TRelF.recordCount();
        t.deleteFlower.push_back(timeMs(1, [&] { maintenance::deleteFlowerWithLinks(c); }));

        chooseExisting(c, 200, quint32(1000 + i));
        c.TFlores.moveTo((i * 577 + 11) % c.TFlores.recordCount());
        const int before = c.TRelF.recordCount();
        t.link.push_back(timeMs(1, [&] { maintenance::linkSelectionToFlower(c); }));
        t.linksAdded += c.TRelF.recordCount() - before;
        // The selection reaches its file once the window is idle, as between two presses.
        QCoreApplication::processEvents();
    }
    QDir::setCurrent(QDir::rootPath());
    return t;
}

void measureEditsAtScale(const QString &base, const Scale &e)
{
    const QString source = prepareCatalogue(base, e);
    const EditTimes disk = measureEdits(copyCatalogue(source, QDir(base).filePath(QStringLiteral("ediciones"))));
    // The same on a file system in memory, where waiting for the disk costs nothing: the
    // difference is what the disk's syncing costs.
    const QString memoryBase = QStringLiteral("/dev/shm");
    std::optional<EditTimes> memory;
    if (QFileInfo(memoryBase).isDir())
        memory = measureEdits(copyCatalogue(source, QDir(memoryBase).filePath(QStringLiteral("vantolia-ediciones"))));
    QDir(QDir(base).filePath(QStringLiteral("ediciones"))).removeRecursively();
    QDir(QDir(memoryBase).filePath(QStringLiteral("vantolia-ediciones"))).removeRecursively();

    const int n = int(disk.post.size());
    std::printf("%-5s ediciones del catálogo (mediana de %d; en el disco / en memoria, sin esperar al disco):\n", e.name, n);
    auto line = [&](const char *what, std::vector<double> EditTimes::*times) {
        const double d = median(disk.*times);
        const double m = memory ? median((*memory).*times) : 0.0;
        std::printf("%-5s   %-52s %8.2f ms  / %7.2f ms   (máx. en disco %.2f ms)\n", e.name, what, d, m,
                    *std::max_element((disk.*times).begin(), (disk.*times).end()));
    };
    line("guardar una flor editada", &EditTimes::post);
    line("agregar un síntoma (con su Orden)", &EditTimes::append);
    const QByteArray symptom = QStringLiteral("borrar un síntoma con sus %1 enlaces").arg(double(disk.symptomLinks) / n).toUtf8();
    line(symptom.constData(), &EditTimes::deleteSymptom);
    const QByteArray flower = QStringLiteral("borrar una flor con sus %1 enlaces (media)").arg(disk.flowerLinks / n).toUtf8();
    line(flower.constData(), &EditTimes::deleteFlower);
    const QByteArray links = QStringLiteral("enlazar 200 síntomas a una flor (%1 nuevos de media)").arg(disk.linksAdded / n).toUtf8();
    line(links.constData(), &EditTimes::link);
    std::fflush(stdout);
}

void measureScale(const QString &program, const QString &base, const Scale &e)
{
    const QString folder = prepareCatalogue(base, e);

    std::vector<double> times;
    long memoryMB = 0;
    for (int i = 0; i < 3; ++i) {
        QProcess child;
        child.start(program, {QStringLiteral("--open"), folder});
        child.waitForFinished(-1);
        double ms = 0;
        long mb = 0;
        std::sscanf(child.readAllStandardOutput().constData(), "%lf %ld", &ms, &mb);
        times.push_back(ms);
        memoryMB = std::max(memoryMB, mb);
    }
    std::printf("%-5s abrir 5 tablas y 6 vistas (proceso nuevo, mediana de 3)   %7.1f ms   pico de memoria %ld MB\n",
                e.name, median(times), memoryMB);

    QDir::setCurrent(folder);
    Catalogue c;
    c.open();
    measureSearch(c, folder, e.name);
    measureProcessing(c, folder, e.name);
    measureWorksheet(c, folder, e.name);
    measureMixture(c, e.name);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--open") == 0) {
        QCoreApplication app(argc, argv);
        return openInFreshProcess(app.arguments()[2]);
    }
    // The worksheet's column widths measure text, which needs fonts, and the photos are painted
    // in a frame of the window: a widget application without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    const QString base = QDir(app.applicationDirPath()).filePath(QStringLiteral("catalogos"));
    // --ediciones: only the catalogue edits.
    QStringList scales;
    bool onlyEdits = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--ediciones"))
            onlyEdits = true;
        else
            scales << args[i];
    }
    for (const Scale &e : kScales)
        if (scales.isEmpty() || scales.contains(QString::fromLatin1(e.name))) {
            if (!onlyEdits)
                measureScale(app.applicationFilePath(), base, e);
            measureEditsAtScale(base, e);
        }
    // Only when asked for: the photos' catalogue takes a few minutes to make, and the opening
    // writes several gigabytes for a while.
    if (scales.contains(QStringLiteral("fotos")))
        measurePhotoMoves(base);
    if (scales.contains(QStringLiteral("fotos-apertura")))
        measurePhotoOpening(app.applicationFilePath(), base);
    return 0;
}
