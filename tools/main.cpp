#include "reasons.h"
#include "tabletool.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>
#include <new>
#include <optional>

namespace {

const char *const kUsage =
    "Uso:\n"
    "  vantolia-tablas crear CARPETA\n"
    "      Crea las cinco tablas vacías (Flores.db, Sintomas.db, Rel.db, RepSint.db, RepFlor.db).\n"
    "  vantolia-tablas importar CARPETA_CSV CARPETA\n"
    "      Crea las tablas con los datos de Flores.csv, Sintomas.csv y Rel.csv:\n"
    "        Flores.csv    Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto\n"
    "        Sintomas.csv  Clave,Nom,Orden\n"
    "        Rel.csv       KFlor,KSint,OSint\n"
    "      UTF-8 (con o sin BOM), separados por comas, comillas según RFC 4180, CRLF o LF.\n"
    "      Foto es vacía o la ruta de una imagen relativa a CARPETA_CSV.\n"
    "  vantolia-tablas exportar CARPETA CARPETA_CSV\n"
    "      Escribe los tres archivos CSV (UTF-8 sin BOM, filas terminadas en CRLF) y las\n"
    "      fotos como fotos/CLAVE.png.\n"
    "  vantolia-tablas sintetico CARPETA FLORES SINTOMAS ENLACES_POR_SINTOMA [--semilla N]\n"
    "      Crea un catálogo inventado de ese tamaño; la misma semilla da siempre el mismo.\n"
    "  vantolia-tablas verificar CARPETA\n"
    "      Revisa las tablas y sus datos; termina con 1 si encuentra problemas.\n"
    "  vantolia-tablas migrar CARPETA_ANTIGUA CARPETA [--clave CONTRASEÑA]\n"
    "      Trae el catálogo de las tablas Paradox Flores.db, Sintomas.db y Rel.db (con sus\n"
    "      archivos .MB) a las cinco tablas del programa, con Config.Dat y la carpeta\n"
    "      Repertorio. --clave abre las tablas protegidas con contraseña. Las tablas antiguas\n"
    "      solo se leen; CARPETA no debe tener tablas, Config.Dat ni Repertorio.\n"
    "\n"
    "\n"
    "crear, importar y migrar ponen además la ayuda del programa en CARPETA (index.htm\n"
    "y sus páginas), sin reemplazar archivos que ya estén.\n"
    "Ninguna orden sobrescribe una tabla que ya exista.\n";

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

// Qt's chatter, such as "libpng error: ..." while a damaged photo is read, would come before
// the tool's message and in other words; the tool says what went wrong itself, so only a
// fatal message, which ends the program, is shown.
void quietQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtFatalMsg)
        return;
    err() << "vantolia-tablas: " << message << '\n';
    err().flush();
}

int usageError(const QString &reason)
{
    err() << "vantolia-tablas: " << reason << "\n\n" << kUsage;
    err().flush();
    return 2;
}

bool parseInt(const QString &text, int &value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

// A folder the tool makes for the program gets the help the Ayuda button opens. Without it
// the tables are still sound, so its absence is a warning, not a failure.
void addHelpTo(const QString &folder)
{
    const QString help = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(VANTOLIA_HELP_FROM_BIN));
    const QString problem = tabletool::addHelp(QDir::cleanPath(help), folder);
    if (problem.isEmpty())
        return;
    err() << "vantolia-tablas: aviso: la carpeta queda sin la ayuda: " << problem << '\n';
    err().flush();
}

void printReport(const tabletool::MigrationReport &report, const QString &folder)
{
    out() << "Catálogo migrado a " << QDir::toNativeSeparators(folder) << ":\n"
          << "  Flores.db: " << report.flowers << " flores, " << report.photos << " fotos (guardadas como PNG)\n"
          << "  Sintomas.db: " << report.symptoms << " síntomas\n"
          << "  Rel.db: " << report.links << " enlaces\n"
          << "  Config.Dat: " << (report.settingsCopied ? "copiado" : "no estaba") << '\n'
          << "  Repertorio: ";
    if (report.storedSelections < 0)
        out() << "no estaba\n";
    else
        out() << "copiado, con " << report.storedSelections << " archivos de selecciones guardadas\n";
    if (!report.decrypted.isEmpty())
        out() << "Abiertas con la contraseña: " << report.decrypted.join(QStringLiteral(", ")) << '\n';
    if (!report.notes.isEmpty()) {
        out() << "Cambios y datos que no se trajeron:\n";
        for (const QString &note : report.notes)
            out() << "  " << note << '\n';
    }
}

int run(const QStringList &args)
{
    const QString command = args.value(0);
    QStringList positional;
    std::optional<quint32> seed;
    std::optional<QString> password;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--semilla")) {
            bool ok = false;
            if (i + 1 < args.size())
                seed = args[i + 1].toUInt(&ok);
            if (!ok)
                return usageError(QStringLiteral("--semilla necesita un número entero de 0 a 4294967295"));
            ++i;
        } else if (args[i] == QLatin1String("--clave")) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("--clave necesita la contraseña"));
            password = args[++i];
        } else {
            positional << args[i];
        }
    }
    if (seed && command != QLatin1String("sintetico"))
        return usageError(QStringLiteral("--semilla solo vale para la orden sintetico"));
    if (password && command != QLatin1String("migrar"))
        return usageError(QStringLiteral("--clave solo vale para la orden migrar"));

    auto given = [&](qsizetype n) { return positional.size() == n; };
    if (command == QLatin1String("crear") && given(1)) {
        tabletool::createTables(positional[0]);
        addHelpTo(positional[0]);
        out() << "Tablas vacías creadas en " << QDir::toNativeSeparators(positional[0]) << '\n';
    } else if (command == QLatin1String("importar") && given(2)) {
        tabletool::importCsv(positional[0], positional[1]);
        addHelpTo(positional[1]);
        out() << "Tablas importadas en " << QDir::toNativeSeparators(positional[1]) << '\n';
    } else if (command == QLatin1String("exportar") && given(2)) {
        tabletool::exportCsv(positional[0], positional[1]);
        out() << "Tablas exportadas a " << QDir::toNativeSeparators(positional[1]) << '\n';
    } else if (command == QLatin1String("sintetico") && given(4)) {
        int flowers = 0, symptoms = 0, links = 0;
        if (!parseInt(positional[1], flowers) || !parseInt(positional[2], symptoms)
            || !parseInt(positional[3], links))
            return usageError(QStringLiteral("FLORES, SINTOMAS y ENLACES_POR_SINTOMA deben ser números enteros"));
        tabletool::generateSynthetic(positional[0], flowers, symptoms, links, seed.value_or(1));
        out() << "Catálogo sintético creado en " << QDir::toNativeSeparators(positional[0]) << '\n';
    } else if (command == QLatin1String("verificar") && given(1)) {
        tabletool::RowCounts counts;
        const QStringList problems = tabletool::verifyTables(positional[0], &counts);
        if (!problems.isEmpty()) {
            for (const QString &p : problems)
                out() << p << '\n';
            out() << (problems.size() == 1 ? QStringLiteral("Se encontró 1 problema")
                                           : QStringLiteral("Se encontraron %1 problemas").arg(problems.size()))
                  << '\n';
            return 1;
        }
        out() << "Tablas correctas: " << counts.flowers << " flores, " << counts.symptoms << " síntomas, "
              << counts.links << " enlaces\n";
    } else if (command == QLatin1String("migrar") && given(2)) {
        printReport(tabletool::migrateParadox(positional[0], positional[1], password), positional[1]);
        addHelpTo(positional[1]);
    } else if (command == QLatin1String("ayuda") || command == QLatin1String("-h") || command == QLatin1String("--help")) {
        out() << kUsage;
    } else if (command.isEmpty()) {
        return usageError(QStringLiteral("falta la orden"));
    } else {
        const QStringList known{QStringLiteral("crear"), QStringLiteral("importar"), QStringLiteral("exportar"),
                                    QStringLiteral("sintetico"), QStringLiteral("verificar"), QStringLiteral("migrar")};
        return usageError(known.contains(command)
                              ? QStringLiteral("número de argumentos incorrecto para %1").arg(command)
                              : QStringLiteral("orden desconocida: %1").arg(command));
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quietQtMessages);
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    int status = 0;
    try {
        status = run(args);
    } catch (const std::bad_alloc &) {
        err() << "vantolia-tablas: no hay memoria suficiente\n";
        status = 1;
    } catch (const std::exception &e) {
        err() << "vantolia-tablas: " << tabletool::withSpanishReasons(store::errorText(e)) << '\n';
        status = 1;
    }
    out().flush();
    err().flush();
    return status;
}
