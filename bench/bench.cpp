// Measures opening and processing on synthetic catalogues at the real and the largest scale,
// against SQLite's own query over the same files.
#include "catalogue/catalogo.h"
#include "repertory/processing.h"
#include "tablas.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
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

double medianaMs(std::vector<double> v)
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
    return medianaMs(t);
}

long picoMemoriaMB()
{
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss / 1024;
}

// Child process: open the five tables and six views from scratch, report time and memory.
int abrirEnProcesoNuevo(const QString &carpeta)
{
    QDir::setCurrent(carpeta);
    QElapsedTimer reloj;
    reloj.start();
    Catalogo c;
    c.abrir();
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
        tablas::generarSintetico(carpeta, e.flores, e.sintomas, e.enlaces, 1);
    }
    return carpeta;
}

void elegirSintomas(Catalogo &c, int cuantos, quint32 semilla)
{
    c.vaciarSeleccion();
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
double consultaSqlite(const QString &carpeta, const std::vector<qint32> &claves, int veces)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QDir(carpeta).filePath(QStringLiteral("Rel.db")).toUtf8().constData(), &db,
                    SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "ATTACH ':memory:' AS m; CREATE TABLE m.RepSint(Clave INTEGER PRIMARY KEY)", nullptr,
                 nullptr, nullptr);
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO m.RepSint VALUES (?)", -1, &ins, nullptr);
    for (qint32 k : claves) {
        sqlite3_bind_int(ins, 1, k);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_stmt *q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT KFlor, COUNT(*) FROM Rel WHERE KSint IN (SELECT Clave FROM m.RepSint) "
                       "GROUP BY KFlor ORDER BY 2 DESC",
                       -1, &q, nullptr);
    const double ms = medir(veces, [&] {
        while (sqlite3_step(q) == SQLITE_ROW) { }
        sqlite3_reset(q);
    });
    sqlite3_finalize(q);
    sqlite3_close(db);
    return ms;
}

void medirEscala(const QString &programa, const QString &base, const Escala &e)
{
    const QString carpeta = prepararCatalogo(base, e);

    QProcess hijo;
    hijo.start(programa, {QStringLiteral("--abrir"), carpeta});
    hijo.waitForFinished(-1);
    double abrirMs = 0;
    long memoriaMB = 0;
    std::sscanf(hijo.readAllStandardOutput().constData(), "%lf %ld", &abrirMs, &memoriaMB);
    std::printf("%-5s abrir 5 tablas y 6 vistas (proceso nuevo)      %8.1f ms   pico %ld MB\n", e.nombre,
                abrirMs, memoriaMB);

    QDir::setCurrent(carpeta);
    Catalogo c;
    c.abrir();
    for (int n : {10, 100, 1000}) {
        elegirSintomas(c, n, quint32(n));
        const double ms = medir(9, [&] { repertorio::procesarSeleccion(c); });
        const double sq = consultaSqlite(carpeta, repertorio::clavesSeleccionadas(c), 9);
        std::printf("%-5s procesar %4d síntomas -> %4d flores         %8.2f ms   SQLite %8.2f ms   x%.1f\n",
                    e.nombre, n, c.TRepF.recordCount(), ms, sq, sq / ms);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--abrir"))
        return abrirEnProcesoNuevo(args[2]);

    const QString base = QDir(app.applicationDirPath()).filePath(QStringLiteral("catalogos"));
    QStringList escalas;
    for (int i = 1; i < args.size(); ++i)
        escalas << args[i];
    for (const Escala &e : kEscalas)
        if (escalas.isEmpty() || escalas.contains(QString::fromLatin1(e.nombre)))
            medirEscala(app.applicationFilePath(), base, e);
    return 0;
}
