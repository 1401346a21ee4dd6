// Measures opening, searching and processing on synthetic catalogues at the real and the
// largest scale, against SQLite's own queries over the same files.
#include "catalogue/catalogue.h"
#include "repertory/symptomsearch.h"
#include "store/codepage.h"
#include "repertory/worksheet.h"
#include "repertory/processing.h"
#include "repertory/mixturesuggestion.h"
#include "tabletool.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Escala
{
    const char *nombre;
    int flores;
    int sintomas;
    int enlaces;
};

constexpr Escala kEscalas[] = {{"real", 1000, 20000, 10}, {"max", 2500, 250000, 10}};

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template<typename F>
double medir(int veces, F &&f)
{
    std::vector<double> t;
    for (int i = 0; i < veces; ++i) {
        QElapsedTimer reloj;
        reloj.start();
        f();
        t.push_back(double(reloj.nsecsElapsed()) / 1e6);
    }
    return mediana(t);
}

long picoMemoriaMB()
{
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss / 1024;
}

void exigir(sqlite3 *db, int rc)
{
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Child process: open the five tables and six views from scratch, report time and memory.
int abrirEnProcesoNuevo(const QString &carpeta)
{
    QDir::setCurrent(carpeta);
    QElapsedTimer reloj;
    reloj.start();
    Catalogue c;
    c.open();
    std::printf("%.1f %ld\n", double(reloj.nsecsElapsed()) / 1e6, picoMemoriaMB());
    return 0;
}

QString prepararCatalogo(const QString &base, const Escala &e)
{
    const QString carpeta = QDir(base).filePath(QString::fromLatin1(e.nombre));
    if (!QFileInfo::exists(QDir(carpeta).filePath(QStringLiteral("Rel.db")))) {
        std::printf("Generando el catálogo %s (%d flores, %d síntomas)...\n", e.nombre, e.flores, e.sintomas);
        std::fflush(stdout);
        QDir(carpeta).removeRecursively();
        tabletool::generateSynthetic(carpeta, e.flores, e.sintomas, e.enlaces, 1);
    }
    return carpeta;
}

void elegirSintomas(Catalogue &c, int cuantos, quint32 semilla)
{
    c.emptySelection();
    QRandomGenerator azar(semilla);
    std::vector<qint32> claves;
    const int total = c.TSint.recordCount();
    while (int(claves.size()) < cuantos) {
        const qint32 k = qint32(azar.bounded(total)) + 1;
        if (std::find(claves.begin(), claves.end(), k) == claves.end())
            claves.push_back(k);
    }
    std::vector<store::Record> filas;
    for (qint32 k : claves)
        filas.push_back({{k}, {true}});
    c.TRepS.table()->insertMany(filas);
}

// SQLite alone: the same counting as one grouped query over the link file.
double consultaAgrupada(const QString &carpeta, const std::vector<qint32> &claves, int veces)
{
    sqlite3 *db = nullptr;
    // The chosen symptoms go to a temporary table of this connection; Rel.db is only read.
    exigir(db, sqlite3_open_v2(QDir(carpeta).filePath(QStringLiteral("Rel.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READWRITE, nullptr));
    exigir(db, sqlite3_exec(db, "CREATE TEMP TABLE RepSint(Clave INTEGER PRIMARY KEY)", nullptr, nullptr, nullptr));
    sqlite3_stmt *ins = nullptr;
    exigir(db, sqlite3_prepare_v2(db, "INSERT INTO temp.RepSint VALUES (?)", -1, &ins, nullptr));
    for (qint32 k : claves) {
        sqlite3_bind_int(ins, 1, k);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_stmt *q = nullptr;
    exigir(db, sqlite3_prepare_v2(db,
                                  "SELECT KFlor, COUNT(*) FROM Rel WHERE KSint IN (SELECT Clave FROM temp.RepSint) "
                                  "GROUP BY KFlor ORDER BY 2 DESC",
                                  -1, &q, nullptr));
    int filas = 0;
    const double ms = medir(veces, [&] {
        filas = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            ++filas;
        sqlite3_reset(q);
    });
    if (filas == 0)
        std::printf("   (la consulta de SQLite no devolvió filas)\n");
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

double consultaLike(const QString &carpeta, const QString &texto)
{
    sqlite3 *db = nullptr;
    exigir(db, sqlite3_open_v2(QDir(carpeta).filePath(QStringLiteral("Sintomas.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt *q = nullptr;
    exigir(db, sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Sintomas WHERE Nom LIKE ?", -1, &q, nullptr));
    const QByteArray patron = "%" + texto.toUtf8() + "%";
    sqlite3_bind_text(q, 1, patron.constData(), int(patron.size()), SQLITE_TRANSIENT);
    const double ms = medir(3, [&] {
        while (sqlite3_step(q) == SQLITE_ROW) { }
        sqlite3_reset(q);
    });
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

// The floor: how many names of the folded buffer hold the text, in one bare pass.
int recorridoDesnudo(const QByteArray &buffer, const QByteArray &texto)
{
    int n = 0;
    const char *p = buffer.constData(), *fin = p + buffer.size();
    while (p < fin) {
        const void *hit = memmem(p, std::size_t(fin - p), texto.constData(), std::size_t(texto.size()));
        if (!hit)
            break;
        ++n;
        const auto *h = static_cast<const char *>(hit);
        p = static_cast<const char *>(std::memchr(h, 0, std::size_t(fin - h))) + 1;
    }
    return n;
}

// The text typed one key at a time in each mode, as the search box applies it on every change.
void medirBusqueda(Catalogue &c, const QString &carpeta, const char *scale)
{
    const QString escrito = QStringLiteral("DOLOR DE CABEZA");
    search::NameIndex indice(*c.TSint.table(), QStringLiteral("Nom"));
    std::vector<double> suelo, sqlite;
    for (int i = 1; i <= escrito.size(); ++i) {
        const QString texto = escrito.left(i);
        const QByteArray b = codepage::toWindows1252(texto, char(0x8D));
        volatile int hallados = 0;
        suelo.push_back(medir(5, [&] { hallados = recorridoDesnudo(indice.buffer(), b); }));
        sqlite.push_back(consultaLike(carpeta, texto));
    }
    const double sueloMs = mediana(suelo), sqliteMs = mediana(sqlite);
    std::printf("%-5s búsqueda, mediana por tecla: recorrido desnudo (memmem) %.3f ms, SQLite LIKE %.2f ms\n", scale,
                sueloMs, sqliteMs);
    for (int modo = 0; modo <= 3; ++modo) {
        // Each key's best of five passes over the whole typed text, then the median over keys.
        std::vector<double> mejor(std::size_t(escrito.size()), 1e9);
        int visibles = 0;
        QStringList words;
        for (int vuelta = 0; vuelta < 5; ++vuelta) {
            // Every pass types the text afresh: nothing is remembered from the pass before.
            search::NameIndex nuevo(*c.TSint.table(), QStringLiteral("Nom"));
            c.TSint.clearFilterCallback();
            for (int i = 1; i <= escrito.size(); ++i) {
                QElapsedTimer reloj;
                reloj.start();
                visibles = search::applySearch(c.TSint, nuevo, modo, escrito.left(i), words,
                                                     [](store::Slot) { return true; });
                mejor[std::size_t(i - 1)] = std::min(mejor[std::size_t(i - 1)], double(reloj.nsecsElapsed()) / 1e6);
            }
        }
        const double ms = mediana(mejor);
        std::printf("%-5s búsqueda modo %d, una tecla    %8.3f ms   %.2f x el recorrido   %.0f x más rápida que "
                    "SQLite   (%d visibles al final)\n",
                    scale, modo, ms, ms / sueloMs, sqliteMs / ms, visibles);
    }
    c.TSint.clearFilterCallback();
}

void medirProcesamiento(Catalogue &c, const QString &carpeta, const char *scale)
{
    store::Table &resultado = *c.TRepF.table();
    for (int n : {10, 100, 1000}) {
        elegirSintomas(c, n, quint32(n));
        resultado.flush();
        const double ms = medir(9, [&] { repertory::processSelection(c); });
        // The result reaches its file behind, once the window is idle again.
        std::vector<double> escritura;
        for (int i = 0; i < 9; ++i) {
            repertory::processSelection(c);
            escritura.push_back(medir(1, [&] { resultado.flush(); }));
        }
        const double sq = consultaAgrupada(carpeta, repertory::selectedKeys(c), 9);
        std::printf("%-5s procesar %4d síntomas -> %4d flores   %7.2f ms   SQLite %7.2f ms   %.1f x"
                    "   (escritura diferida del resultado: %.2f ms)\n",
                    scale, n, c.TRepF.recordCount(), ms, sq, sq / ms, mediana(escritura));
    }
}

// SQLite alone: the link pairs of the chosen symptoms, the bare material of the worksheet.
double consultaPares(const QString &carpeta, const std::vector<qint32> &claves, int veces)
{
    sqlite3 *db = nullptr;
    exigir(db, sqlite3_open_v2(QDir(carpeta).filePath(QStringLiteral("Rel.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READONLY, nullptr));
    QByteArray sql = "SELECT KFlor, KSint FROM Rel WHERE KSint IN (";
    for (std::size_t i = 0; i < claves.size(); ++i)
        sql += (i ? "," : "") + QByteArray::number(claves[i]);
    sql += ")";
    sqlite3_stmt *q = nullptr;
    exigir(db, sqlite3_prepare_v2(db, sql.constData(), -1, &q, nullptr));
    volatile qint64 suma = 0;
    const double ms = medir(veces, [&] {
        qint64 s = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            s += sqlite3_column_int(q, 0) + sqlite3_column_int(q, 1);
        sqlite3_reset(q);
        suma = s;
    });
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

// The largest worksheet: every flower of the catalogue as a result row against 200 chosen
// symptoms (the flowers the symptoms do not reach stand in for the rest of a bigger case).
// Built, weighted, ordered and measured for its column widths as the window does before it
// shows, against SQLite's bare query for the link pairs of the same symptoms.
void medirPlanilla(Catalogue &c, const QString &carpeta, const char *scale)
{
    elegirSintomas(c, 200, 200);
    repertory::processSelection(c);
    std::vector<store::Record> resto;
    for (qint32 k = 1; k <= c.TFlores.recordCount(); ++k)
        if (!c.TRepF.table()->findPrimary(k))
            resto.push_back({{k, 1}, {true, true}});
    c.TRepF.table()->insertMany(resto);
    c.TRepF.table()->flush();

    QFont fuente(QStringLiteral("Arial"));
    fuente.setPointSize(11);
    double construir = 0, ordenar = 0, anchos = 0;
    int referencias = 0;
    worksheet::Sheet sheet;
    auto armar = [&] {
        QElapsedTimer reloj;
        reloj.start();
        sheet = worksheet::buildSheet(c, QStringLiteral("Nom1"));
        construir = double(reloj.nsecsElapsed()) / 1e6;
        worksheet::OrdenarPorPuntaje(sheet);
        ordenar = double(reloj.nsecsElapsed()) / 1e6 - construir;
        std::vector<int> columnas(std::size_t(sheet.sintomas() + 2), worksheet::kColumnWidth);
        columnas[0] = worksheet::widestText(sheet.nombres, fuente) + worksheet::kNameMargin;
        referencias = worksheet::referencesWidth(1024, columnas);
        anchos = double(reloj.nsecsElapsed()) / 1e6 - construir - ordenar;
    };
    // The first sheet of a run also measures the font's characters and pairs once.
    const double primera = medir(1, armar);
    // Both take well under a millisecond: many runs each, so the medians hold still.
    const double ms = medir(41, armar);
    const double sq = consultaPares(carpeta, repertory::selectedKeys(c), 41);
    std::printf("%-5s planilla %d flores x %d síntomas   %7.2f ms (la primera %.2f ms; última: construir %.2f, "
                "ordenar %.2f, anchos %.2f; referencias %d px)   SQLite pares %7.2f ms   %.1f x\n",
                scale, sheet.filas(), sheet.sintomas(), ms, primera, construir, ordenar, anchos, referencias, sq,
                sq / ms);
}

// The mixture suggestion over the rows of the largest worksheet, in the result's order, as
// they stand after medirPlanilla.
void medirMezcla(Catalogue &c, const char *scale)
{
    const worksheet::Sheet sheet = worksheet::buildSheet(c, QStringLiteral("Nom1"));
    const std::vector<repertory::MixtureCandidate> flores = repertory::mixtureCandidates(sheet);
    repertory::MixtureSuggestion mezcla;
    const double ms = medir(9, [&] { mezcla = repertory::suggestMixture(sheet.sintomas(), flores); });
    std::printf("%-5s mezcla sugerida entre %d flores x %d síntomas   %7.2f ms   %s: %zu flores cubren %d "
                "síntomas (trabajo %lld de %lld)\n",
                scale, sheet.filas(), sheet.sintomas(), ms,
                mezcla.method == repertory::MixtureSuggestion::Method::Exact ? "exacta" : "voraz", mezcla.flowers.size(),
                mezcla.covered, static_cast<long long>(mezcla.work),
                static_cast<long long>(repertory::kMixtureWorkBudget));
}

void medirEscala(const QString &programa, const QString &base, const Escala &e)
{
    const QString carpeta = prepararCatalogo(base, e);

    std::vector<double> tiempos;
    long memoriaMB = 0;
    for (int i = 0; i < 3; ++i) {
        QProcess hijo;
        hijo.start(programa, {QStringLiteral("--abrir"), carpeta});
        hijo.waitForFinished(-1);
        double ms = 0;
        long mb = 0;
        std::sscanf(hijo.readAllStandardOutput().constData(), "%lf %ld", &ms, &mb);
        tiempos.push_back(ms);
        memoriaMB = std::max(memoriaMB, mb);
    }
    std::printf("%-5s abrir 5 tablas y 6 vistas (proceso nuevo, mediana de 3)   %7.1f ms   pico de memoria %ld MB\n",
                e.nombre, mediana(tiempos), memoriaMB);

    QDir::setCurrent(carpeta);
    Catalogue c;
    c.open();
    medirBusqueda(c, carpeta, e.nombre);
    medirProcesamiento(c, carpeta, e.nombre);
    medirPlanilla(c, carpeta, e.nombre);
    medirMezcla(c, e.nombre);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--abrir") == 0) {
        QCoreApplication app(argc, argv);
        return abrirEnProcesoNuevo(app.arguments()[2]);
    }
    // The worksheet's column widths measure text, which needs fonts: a GUI application
    // without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();

    const QString base = QDir(app.applicationDirPath()).filePath(QStringLiteral("catalogos"));
    QStringList escalas;
    for (int i = 1; i < args.size(); ++i)
        escalas << args[i];
    for (const Escala &e : kEscalas)
        if (escalas.isEmpty() || escalas.contains(QString::fromLatin1(e.nombre)))
            medirEscala(app.applicationFilePath(), base, e);
    return 0;
}
