// Measures bringing an old catalogue over: writes one in the Paradox format at the largest scale
// (2,500 flowers with photos, 250,000 symptoms, 2.5 million links) unless it is there already,
// migrates it, and checks the result.
#include "paradoxwriter.h"
#include "tabletool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace {

double seconds(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 5) {
        std::fprintf(stderr, "Uso: vantolia-bench-migrar CARPETA [FLORES SINTOMAS ENLACES_POR_SINTOMA]\n");
        return 2;
    }
    const int flowers = args.size() == 5 ? args[2].toInt() : 2500;
    const int symptoms = args.size() == 5 ? args[3].toInt() : 250000;
    const int links = args.size() == 5 ? args[4].toInt() : 10;
    const QDir base(args[1]);
    const QString old = base.filePath(QStringLiteral("antigua-%1-%2-%3").arg(flowers).arg(symptoms).arg(links));
    const QString migrated = base.filePath(QStringLiteral("migrada"));
    try {
        if (!QFileInfo::exists(QDir(old).filePath(QStringLiteral("Rel.db")))) {
            std::printf("Escribiendo el catálogo antiguo (%d flores, %d síntomas, %d enlaces)...\n", flowers, symptoms,
                        symptoms * links);
            std::fflush(stdout);
            QElapsedTimer clock;
            clock.start();
            tabletool::writeParadoxCatalogue(old, flowers, symptoms, links, 1);
            std::printf("  escrito en %.1f s\n", seconds(clock));
        }
        QDir(migrated).removeRecursively();

        QElapsedTimer clock;
        clock.start();
        const tabletool::MigrationReport report = tabletool::migrateParadox(old, migrated, std::nullopt);
        const double migration = seconds(clock);
        std::printf("Migración: %.1f s (%lld flores, %lld fotos, %lld síntomas, %lld enlaces)\n", migration,
                    static_cast<long long>(report.flowers), static_cast<long long>(report.photos),
                    static_cast<long long>(report.symptoms), static_cast<long long>(report.links));

        clock.restart();
        const QStringList problems = tabletool::verifyTables(migrated);
        std::printf("Verificación: %.1f s, %s\n", seconds(clock),
                    problems.isEmpty() ? "sin problemas" : qPrintable(problems.join(QStringLiteral("; "))));
        return problems.isEmpty() && migration < 60 ? 0 : 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
