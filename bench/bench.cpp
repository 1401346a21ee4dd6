// Measures what the user waits for in the real main window, on synthetic catalogues at the real
// and the largest scale: from each input event to the end of the repaint it causes, beside what
// SQLite needs for the same question with every page in its cache, and beside the goals.
#include "baselines.h"
#include "windowdriver.h"

#include "app/tform1.h"
#include "catalogue/catalogue.h"
#include "catalogue/tabledefinitions.h"
#include "maintenance/catalogueedits.h"
#include "photobench.h"
#include "repertory/mixturesuggestion.h"
#include "repertory/processing.h"
#include "repertory/symptomsearch.h"
#include "repertory/worksheet.h"
#include "store/collation.h"
#include "store/datasource.h"
#include "tabletool.h"
#include "ui/application.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
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
    // Links stored in no order, as in a catalogue edited over the years; the synthetic one
    // writes them symptom after symptom, in the order of an index. Measured on request only.
    bool shuffled = false;
};

constexpr Scale kScales[] = {
    {"real", 1000, 20000, 10}, {"max", 2500, 250000, 10}, {"max-desordenado", 2500, 250000, 10, true}};

// What the user waits for, at the largest scale.
constexpr double kStartGoalMs = 1000;
constexpr double kMemoryGoalMB = 200;
constexpr double kFirstEntryGoalMs = 50;
constexpr double kFrameMs = 16;
constexpr double kWorksheetGoalMs = 100;
constexpr double kCoreSpeedupGoal = 5;

const QString kTyped = QStringLiteral("DOLOR DE CABEZA");
constexpr int kWorksheetSymptoms = 200;

struct Options
{
    int starts = 5;  // new processes for the start
    int rounds = 5;  // passes over the typed text, sheets opened
    int repeats = 9; // processings, SQLite queries
    int moves = 30;  // moves of the flower cursor
    bool onlyEdits = false; // --ediciones: only the catalogue edits
    QStringList scales;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double worst(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
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

long peakMemoryKB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The processor time of this process so far, all its threads together.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// How busy the machine is: the number of processes wanting a processor, over the last minute.
QString machineLoad()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readLine().split(' ').value(0)) : QStringLiteral("?");
}

// ---- the table that is printed ----

struct Goal
{
    QString text; // "≤ 16 ms", empty for none
    bool met = true;
};

Goal atMost(double value, double limit, const char *unit)
{
    return {QStringLiteral("≤ %1 %2").arg(limit).arg(QLatin1String(unit)), value <= limit};
}

void printHeader(const Scale &s)
{
    std::printf("\nescala %s: %d flores, %d síntomas, %d enlaces por síntoma (carga de la máquina: %s en %d "
                "procesadores)\n",
                s.name, s.flowers, s.symptoms, s.links, qPrintable(machineLoad()), QThread::idealThreadCount());
    std::printf("%-44s %5s %9s %9s   %-24s %9s %9s   %s\n", "medida", "veces", "mediana", "peor", "base",
                "mediana", "peor", "meta");
}

void printLine(const QString &measure, const std::vector<double> &ms, const QString &baseline = QString(),
               const std::vector<double> &base = {}, const Goal &goal = {}, const char *unit = "ms")
{
    QString line = QStringLiteral("%1 %2 %3 %4")
                       .arg(measure, -44)
                       .arg(ms.size(), 5)
                       .arg(QStringLiteral("%1 %2").arg(median(ms), 0, 'f', 2).arg(QLatin1String(unit)), 9)
                       .arg(QStringLiteral("%1 %2").arg(worst(ms), 0, 'f', 2).arg(QLatin1String(unit)), 9);
    line += QStringLiteral("   %1").arg(baseline, -24);
    if (!base.empty())
        line += QStringLiteral(" %1 %2")
                    .arg(QStringLiteral("%1 ms").arg(median(base), 0, 'f', 2), 9)
                    .arg(QStringLiteral("%1 ms").arg(worst(base), 0, 'f', 2), 9);
    else
        line += QString(20, QLatin1Char(' '));
    if (!goal.text.isEmpty())
        line += QStringLiteral("   %1 %2").arg(goal.text, goal.met ? QStringLiteral("sí") : QStringLiteral("NO"));
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void printNote(const QString &note)
{
    std::printf("    %s\n", qPrintable(note));
    std::fflush(stdout);
}

// Beneath a measure of the window: the processor time its thread spent on the same actions.
void printWork(const std::vector<double> &work)
{
    printNote(QStringLiteral("trabajo del hilo de la ventana (tiempo de procesador): mediana %1 ms, peor %2 ms")
                  .arg(median(work), 0, 'f', 2)
                  .arg(worst(work), 0, 'f', 2));
}

// ---- the catalogue ----

// The same links stored again in an order that follows neither index, the same every time.
void shuffleLinks(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
        || sqlite3_exec(db,
                        "BEGIN; CREATE TEMP TABLE mixed AS SELECT KFlor, KSint, OSint FROM Rel "
                        "ORDER BY (KSint * 2654435761 + KFlor * 40503) % 1000003; "
                        "DELETE FROM Rel; INSERT INTO Rel (KFlor, KSint, OSint) SELECT * FROM mixed; COMMIT",
                        nullptr, nullptr, nullptr)
            != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    sqlite3_close(db);
}

QString prepareCatalogue(const QString &base, const Scale &s)
{
    const QString folder = QDir(base).filePath(QString::fromLatin1(s.name));
    if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Rel.db")))) {
        std::printf("Generando el catálogo %s (%d flores, %d síntomas)...\n", s.name, s.flowers, s.symptoms);
        std::fflush(stdout);
        QDir(folder).removeRecursively();
        tabletool::generateSynthetic(folder, s.flowers, s.symptoms, s.links, 1);
        if (s.shuffled)
            shuffleLinks(QDir(folder).filePath(QStringLiteral("Rel.db")));
    }
    return folder;
}

// The same symptoms for a seed, in the window and in the bare core.
std::vector<qint32> symptomsFor(int total, int count, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<qint32> keys;
    while (int(keys.size()) < count) {
        const qint32 k = qint32(random.bounded(total)) + 1;
        if (std::find(keys.begin(), keys.end(), k) == keys.end())
            keys.push_back(k);
    }
    return keys;
}

void choose(store::View &selection, const std::vector<qint32> &keys)
{
    selection.close();
    selection.table()->empty();
    selection.open();
    std::vector<store::Record> rows;
    for (const qint32 k : keys)
        rows.push_back({{k}, {true}});
    selection.table()->insertMany(rows);
}

// Every flower of the catalogue in the result: the flowers the symptoms do not reach stand in
// for the rest of a larger case.
void fillResultWithEveryFlower(store::Table &result, int flowers)
{
    std::vector<store::Record> rest;
    for (qint32 k = 1; k <= flowers; ++k)
        if (!result.findPrimary(k))
            rest.push_back({{k, 1}, {true, true}});
    result.insertMany(rest);
}

// Flower key times count over the result, for comparing it with SQLite's.
qint64 resultCheck(const store::View &result)
{
    const int key = result.fieldNumber(QStringLiteral("Clave")), count = result.fieldNumber(QStringLiteral("Cant"));
    qint64 sum = 0;
    for (int row = 0; row < result.recordCount(); ++row)
        sum += qint64(result.valueAt(row, key).toInt()) * result.valueAt(row, count).toInt();
    return sum;
}

void compareAnswers(const QString &what, qint64 program, qint64 sqlite)
{
    if (program != sqlite)
        printNote(QStringLiteral("¡DISTINTOS! %1: el programa %2, SQLite %3").arg(what).arg(program).arg(sqlite));
}

// ---- start: a new process, as the user starts the program ----

// The child: the program as main.cpp starts it. When the main window has painted for the first
// time it says so; then it enters the symptoms page at once, as a quick user would, and reports
// that entry and the memory used so far.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(TForm1 &form) : m_form(form) { form.installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_form && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Reported once this paint, and the rest of the window's with it, has ended.
            QTimer::singleShot(0, this, &FirstPaint::painted);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void painted()
    {
        std::printf("pintada %ld %.1f\n", peakMemoryKB(), cpuMs());
        std::fflush(stdout);
        WindowDriver driver(m_form);
        const double ms = driver.click(driver.control<QAbstractButton>("Sintomas"));
        std::printf("sintomas %.3f %ld\n", ms, peakMemoryKB());
        std::fflush(stdout);
        // Leaving through quit() would ask the window, which refuses every close but its own.
        QCoreApplication::exit(0);
    }

    TForm1 &m_form;
    bool m_seen = false;
};

int startChild(int &argc, char **argv)
{
    Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantolia"));
    TForm1 form;
    FirstPaint watcher(form);
    form.show();
    return application.exec();
}

void measureStart(const Options &o, const QString &folder)
{
    std::vector<double> starts, entries, memory, processor;
    for (int i = 0; i < o.starts; ++i) {
        QProcess child;
        child.setWorkingDirectory(folder);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--inicio")});
        std::optional<double> painted;
        while (child.waitForReadyRead(60000) || child.canReadLine()) {
            while (child.canReadLine()) {
                const QList<QByteArray> words = child.readLine().trimmed().split(' ');
                if (words.value(0) == "pintada" && !painted) {
                    painted = double(timer.nsecsElapsed()) / 1e6;
                    processor.push_back(words.value(2).toDouble());
                }
                if (words.value(0) == "sintomas" && words.size() == 3) {
                    entries.push_back(words[1].toDouble());
                    memory.push_back(words[2].toDouble() / 1024);
                }
            }
            if (!entries.empty() && int(entries.size()) == i + 1)
                break;
        }
        child.waitForFinished(60000);
        if (!painted || int(entries.size()) != i + 1) {
            printNote(QStringLiteral("el proceso de inicio no informó su primera pintura"));
            return;
        }
        starts.push_back(*painted);
    }
    printLine(QStringLiteral("inicio: proceso nuevo a ventana dibujada"), starts, {}, {},
              atMost(median(starts), kStartGoalMs, "ms"));
    // On a busy machine the time to the window is mostly waiting: this is the work itself.
    printLine(QStringLiteral("inicio: tiempo de procesador hasta dibujar"), processor);
    printLine(QStringLiteral("inicio: memoria pico (tras entrar a Síntomas)"), memory, {}, {},
              atMost(median(memory), kMemoryGoalMB, "MB"), "MB");
    printLine(QStringLiteral("primera entrada a Síntomas (tras la pintura)"), entries, {}, {},
              atMost(median(entries), kFirstEntryGoalMs, "ms"));
}

// ---- the window ----

Qt::Key keyOf(QChar c)
{
    return c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key(Qt::Key_A + (c.unicode() - u'A'));
}

// Each key's answer by SQLite: the text typed so far, asked in the mode's own way.
struct KeyBaselines
{
    std::vector<Timing> byMode[4];
};

KeyBaselines askSqliteEveryKey(const Options &o, SqliteBaseline &sqlite, TrigramSearch &trigrams)
{
    KeyBaselines b;
    for (int mode = 0; mode <= 3; ++mode)
        for (int i = 1; i <= kTyped.size(); ++i)
            b.byMode[mode].push_back(mode == search::Nearest ? sqlite.nearest(kTyped.left(i), o.repeats)
                                                              : trigrams.find(mode, kTyped.left(i), o.repeats));
    return b;
}

QString baselineName(int mode)
{
    return mode == search::Nearest ? QStringLiteral("SQLite índice PorNom") : QStringLiteral("SQLite FTS5 trigramas");
}

// One line for a mode: every key of every round, the worst key against one frame, and in the
// narrowing modes how many keys took longer than FTS5 (median against median).
void printKeys(const QString &measure, int mode, const std::vector<std::vector<double>> &byKey,
               const std::vector<Timing> &baseline, bool withGoal)
{
    std::vector<double> all, base;
    int slower = 0;
    for (std::size_t i = 0; i < byKey.size(); ++i) {
        all.insert(all.end(), byKey[i].begin(), byKey[i].end());
        base.insert(base.end(), baseline[i].ms.begin(), baseline[i].ms.end());
        slower += median(byKey[i]) > median(baseline[i].ms) ? 1 : 0;
    }
    Goal goal;
    if (withGoal) {
        goal = atMost(worst(all), kFrameMs, "ms");
        goal.text += QStringLiteral(" la peor");
    }
    if (mode != search::Nearest) {
        goal.text += QStringLiteral("%1más lenta que FTS5 en %2 de %3 teclas")
                         .arg(goal.text.isEmpty() ? QString() : QStringLiteral("; "))
                         .arg(slower)
                         .arg(byKey.size());
        goal.met = goal.met && slower == 0;
    }
    printLine(measure, all, baselineName(mode), base, goal);
}

void measureTyping(const Options &o, WindowDriver &d, const KeyBaselines &baselines)
{
    auto *ed = d.control<QLineEdit>("Ed");
    auto *grid = d.control<DataGrid>("GrSintomas");
    for (int mode = 0; mode <= 3; ++mode) {
        const std::vector<Timing> &baseline = baselines.byMode[mode];
        std::vector<std::vector<double>> byKey(std::size_t(kTyped.size()));
        std::vector<double> work;
        for (int round = 0; round < o.rounds; ++round) {
            d.control<QAbstractButton>(qPrintable(QStringLiteral("RGBusItem%1").arg(mode)))->click();
            ed->clear();
            d.settle();
            for (int i = 0; i < kTyped.size(); ++i) {
                byKey[std::size_t(i)].push_back(d.key(ed, keyOf(kTyped[i]), kTyped.mid(i, 1)));
                work.push_back(d.lastWorkMs());
                if (round > 0)
                    continue;
                const QString text = kTyped.left(i + 1);
                const Timing &t = baseline[std::size_t(i)];
                if (mode == search::Nearest) {
                    const QString shown = grid->currentIndex().data().toString();
                    // Names equal letter for letter are equally near: either may come first.
                    if (store::spanishCompare(shown, t.first) != 0)
                        printNote(QStringLiteral("¡DISTINTOS! modo 0, \"%1\": el programa en \"%2\", SQLite en \"%3\"")
                                      .arg(text, shown, t.first));
                } else {
                    compareAnswers(QStringLiteral("modo %1, \"%2\", síntomas").arg(mode).arg(text),
                                   grid->model()->rowCount(), t.rows);
                }
            }
        }
        printKeys(QStringLiteral("tecla, modo %1 (\"%2\")").arg(mode).arg(kTyped), mode, byKey, baseline, true);
        printWork(work);
    }
    ed->clear();
    d.control<QAbstractButton>("RGBusItem0")->click();
    d.settle();
}

// The search alone, as the box applies it on every change, typed afresh in every round.
void measureSearchCore(const Options &o, Catalogue &c, const KeyBaselines &baselines)
{
    for (int mode = 0; mode <= 3; ++mode) {
        std::vector<std::vector<double>> byKey(std::size_t(kTyped.size()));
        for (int round = 0; round < o.rounds; ++round) {
            search::NameIndex index(*c.TSint.table(), QStringLiteral("Nom"));
            QStringList words;
            c.TSint.clearFilterCallback();
            for (int i = 0; i < kTyped.size(); ++i) {
                QElapsedTimer timer;
                timer.start();
                search::applySearch(c.TSint, index, mode, kTyped.left(i + 1), words, [](store::Slot) { return true; });
                byKey[std::size_t(i)].push_back(double(timer.nsecsElapsed()) / 1e6);
            }
        }
        printKeys(QStringLiteral("búsqueda modo %1, núcleo, por tecla").arg(mode), mode, byKey, baselines.byMode[mode],
                  false);
    }
    c.TSint.clearFilterCallback();
}

void measureProcessing(const Options &o, const Scale &s, WindowDriver &d, SqliteBaseline &sqlite)
{
    auto *pages = d.control<QTabWidget>("Ficha");
    auto *procesar = d.control<QAbstractButton>("Procesar");
    store::View &selection = *d.control<DataGrid>("GrSel")->dataSource()->view();
    const store::View &result = *d.control<DataGrid>("GrRepF")->dataSource()->view();
    for (const int n : {10, 100, 1000}) {
        const std::vector<qint32> keys = symptomsFor(s.symptoms, n, quint32(n));
        choose(selection, keys);
        std::vector<double> times, work;
        for (int i = 0; i < o.repeats; ++i) {
            if (pages->currentWidget() != d.control("PagSint"))
                d.click(d.control<QAbstractButton>("Sintomas"));
            procesar->setEnabled(true); // the selection was filled behind the buttons' back
            times.push_back(d.click(procesar));
            work.push_back(d.lastWorkMs());
        }
        if (pages->currentWidget() != d.control("PagRep"))
            printNote(QStringLiteral("¡Procesar no mostró el resultado!"));
        const Timing t = sqlite.grouped(keys, o.repeats);
        compareAnswers(QStringLiteral("procesar %1, flores").arg(n), result.recordCount(), t.rows);
        compareAnswers(QStringLiteral("procesar %1, suma de clave por cuenta").arg(n), resultCheck(result), t.check);
        printLine(QStringLiteral("Procesar %1 síntomas -> resultado dibujado").arg(n), times,
                  QStringLiteral("SQLite agrupada"), t.ms,
                  n == 1000 ? atMost(median(times), kFrameMs, "ms") : Goal{});
        printWork(work);
    }
}

void measureWorksheet(const Options &o, const Scale &s, WindowDriver &d, SqliteBaseline &sqlite)
{
    store::View &selection = *d.control<DataGrid>("GrSel")->dataSource()->view();
    store::View &result = *d.control<DataGrid>("GrRepF")->dataSource()->view();
    const std::vector<qint32> keys = symptomsFor(s.symptoms, kWorksheetSymptoms, kWorksheetSymptoms);
    choose(selection, keys);
    d.click(d.control<QAbstractButton>("Sintomas"));
    d.control<QAbstractButton>("Procesar")->setEnabled(true);
    d.click(d.control<QAbstractButton>("Procesar"));
    fillResultWithEveryFlower(*result.table(), s.flowers);
    d.settle();
    std::vector<double> times, work;
    for (int i = 0; i < o.rounds; ++i) {
        times.push_back(d.clickIntoModal(d.control<QAbstractButton>("PlanRep"), "TFPlanRep"));
        work.push_back(d.lastWorkMs());
    }
    const Timing t = sqlite.pairs(keys, o.repeats);
    printLine(QStringLiteral("planilla %1 x %2 -> planilla dibujada").arg(result.recordCount()).arg(kWorksheetSymptoms),
              times, QStringLiteral("SQLite pares"), t.ms, atMost(median(times), kWorksheetGoalMs, "ms"));
    printWork(work);
}

void measureFlowerCursor(const Options &o, WindowDriver &d, SqliteBaseline &sqlite)
{
    auto *systems = d.control<QComboBox>("CBSel");
    systems->setCurrentIndex(0);
    emit systems->activated(0); // every flower
    d.settle();
    auto *flowers = d.control<DataGrid>("GrFlor");
    auto *symptoms = d.control<DataGrid>("GrSint");
    const store::View &view = *flowers->dataSource()->view();
    flowers->setFocus();
    std::vector<double> times, base, work;
    for (int i = 0; i < o.moves; ++i) {
        times.push_back(d.key(flowers, Qt::Key_Down));
        work.push_back(d.lastWorkMs());
        const Timing t = sqlite.flowerSymptoms(view.asInteger(QStringLiteral("Clave")), 3);
        base.insert(base.end(), t.ms.begin(), t.ms.end());
        compareAnswers(QStringLiteral("síntomas de la flor"), symptoms->model()->rowCount(), t.rows);
    }
    printLine(QStringLiteral("cursor de flores, una fila abajo"), times, QStringLiteral("SQLite síntomas de flor"),
              base, atMost(worst(times), kFrameMs, "ms"));
    printWork(work);
}

void measureWindow(const Options &o, const Scale &s, const QString &folder, SqliteBaseline &sqlite,
                   const KeyBaselines &keys)
{
    QDir::setCurrent(folder);
    auto form = std::make_unique<TForm1>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) {
        printNote(QStringLiteral("la ventana no se mostró"));
        return;
    }
    WindowDriver d(*form);
    d.settle();
    d.click(d.control<QAbstractButton>("Sintomas"));
    measureTyping(o, d, keys);
    measureProcessing(o, s, d, sqlite);
    measureWorksheet(o, s, d, sqlite);
    measureFlowerCursor(o, d, sqlite);
}

// ---- the bare core, in a process of its own tables ----

void measureCore(const Options &o, const Scale &s, const QString &folder, SqliteBaseline &sqlite,
                 const KeyBaselines &keyBaselines)
{
    QDir::setCurrent(folder);
    Catalogue c;
    c.open();
    measureSearchCore(o, c, keyBaselines);
    store::Table &result = *c.TRepF.table();
    for (const int n : {10, 100, 1000}) {
        const std::vector<qint32> keys = symptomsFor(s.symptoms, n, quint32(n));
        choose(c.TRepS, keys);
        std::vector<double> times;
        for (int i = 0; i < o.repeats; ++i) {
            QElapsedTimer timer;
            timer.start();
            repertory::processSelection(c);
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            result.flush(); // written behind, when the window is idle
        }
        const Timing t = sqlite.grouped(keys, o.repeats);
        compareAnswers(QStringLiteral("núcleo %1, suma de clave por cuenta").arg(n), resultCheck(c.TRepF), t.check);
        Goal goal;
        if (n == 1000) {
            const double speedup = median(t.ms) / median(times);
            goal = {QStringLiteral("≥ %1 x más rápido: %2 x").arg(kCoreSpeedupGoal).arg(speedup, 0, 'f', 1),
                    speedup >= kCoreSpeedupGoal};
        }
        printLine(QStringLiteral("procesar %1 síntomas, núcleo").arg(n), times, QStringLiteral("SQLite agrupada"), t.ms,
                  goal);
    }

    const std::vector<qint32> keys = symptomsFor(s.symptoms, kWorksheetSymptoms, kWorksheetSymptoms);
    choose(c.TRepS, keys);
    repertory::processSelection(c);
    fillResultWithEveryFlower(result, s.flowers);
    result.flush();
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    worksheet::Sheet sheet;
    std::vector<double> times;
    for (int i = 0; i < o.repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        sheet = worksheet::buildSheet(c, QStringLiteral("Nom1"));
        worksheet::OrdenarPorPuntaje(sheet);
        std::vector<int> columns(std::size_t(sheet.symptoms() + 2), worksheet::kColumnWidth);
        columns[0] = worksheet::widestText(sheet.names, font) + worksheet::kNameMargin;
        worksheet::referencesWidth(1024, columns);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const Timing pairs = sqlite.pairs(keys, o.repeats);
    printLine(QStringLiteral("planilla %1 x %2, núcleo").arg(sheet.rows()).arg(sheet.symptoms()), times,
              QStringLiteral("SQLite pares"), pairs.ms);

    const std::vector<repertory::MixtureCandidate> candidates = repertory::mixtureCandidates(sheet);
    std::vector<double> mixtureTimes;
    repertory::MixtureSuggestion mixture;
    for (int i = 0; i < o.repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        mixture = repertory::suggestMixture(sheet.symptoms(), candidates);
        mixtureTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    printLine(QStringLiteral("mezcla sugerida (%1: %2 flores cubren %3)")
                  .arg(mixture.method == repertory::MixtureSuggestion::Method::Exact ? QStringLiteral("exacta")
                                                                                      : QStringLiteral("voraz"))
                  .arg(mixture.flowers.size())
                  .arg(mixture.covered),
              mixtureTimes);
}

// ---- the catalogue edits, on disk and in memory ----

// The five tables of a catalogue copied into `to`, made afresh: the edits change them.
QString copyCatalogue(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    for (const QString &name : catalogue::tableFileNames())
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

// ---- opening the tables alone, for the photos' measurement ----

// Child process: open the five tables and six views from scratch, report time and memory.
int openInFreshProcess(const QString &folder)
{
    QDir::setCurrent(folder);
    QElapsedTimer timer;
    timer.start();
    Catalogue c;
    c.open();
    // The processor's time as well, which the other programs on the machine do not lengthen.
    std::printf("%.1f %ld %.1f\n", double(timer.nsecsElapsed()) / 1e6, peakMemoryKB() / 1024, cpuMs());
    return 0;
}

Options parse(const QStringList &args)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--veces") && i + 1 < args.size()) {
            const int n = std::max(1, args[++i].toInt());
            o.starts = o.rounds = n;
            o.repeats = std::max(3, n * 2 - 1);
            o.moves = n * 6;
        } else if (args[i] == QLatin1String("--ediciones")) {
            o.onlyEdits = true;
        } else {
            o.scales << args[i];
        }
    }
    return o;
}

QtMessageHandler g_toolkitHandler = nullptr;

// Without a screen the toolkit says at every window shown that it cannot raise it or pass on
// size hints, thousands of lines that would bury the table; everything else still goes out.
void quietWithoutScreen(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support"))
        || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    g_toolkitHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    // Windows and fonts without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_toolkitHandler = qInstallMessageHandler(quietWithoutScreen);
    if (argc == 2 && std::strcmp(argv[1], "--inicio") == 0)
        return startChild(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--open") == 0) {
        QCoreApplication app(argc, argv);
        return openInFreshProcess(app.arguments()[2]);
    }

    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantolia"));
    const Options o = parse(app.arguments());
    const QString base = QDir(app.applicationDirPath()).filePath(QStringLiteral("catalogos"));
    for (const Scale &s : kScales) {
        if (o.scales.isEmpty() ? s.shuffled : !o.scales.contains(QString::fromLatin1(s.name)))
            continue;
        const QString folder = prepareCatalogue(base, s);
        if (o.onlyEdits) {
            measureEditsAtScale(base, s);
            continue;
        }
        printHeader(s);
        measureStart(o, folder);
        SqliteBaseline sqlite(folder);
        TrigramSearch trigrams(sqlite.handle());
        printNote(QStringLiteral("(índice FTS5 de trigramas de los nombres plegados, hecho fuera de la medición en %1 ms)")
                      .arg(trigrams.buildMs(), 0, 'f', 0));
        const KeyBaselines keys = askSqliteEveryKey(o, sqlite, trigrams);
        measureWindow(o, s, folder, sqlite, keys);
        measureCore(o, s, folder, sqlite, keys);
        measureEditsAtScale(base, s);
    }
    // Only when asked for: the photos' catalogue takes a few minutes to make, and the opening
    // writes several gigabytes for a while.
    if (o.scales.contains(QStringLiteral("fotos")))
        measurePhotoMoves(base);
    if (o.scales.contains(QStringLiteral("fotos-apertura")))
        measurePhotoOpening(app.applicationFilePath(), base);
    return 0;
}
