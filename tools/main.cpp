#include "tabletool.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>
#include <new>
#include <optional>

namespace {

const char *const kUso =
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

int errorDeUso(const QString &motivo)
{
    err() << "vantolia-tablas: " << motivo << "\n\n" << kUso;
    err().flush();
    return 2;
}

bool leerEntero(const QString &texto, int &valor)
{
    bool ok = false;
    valor = texto.toInt(&ok);
    return ok;
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
    const QString orden = args.value(0);
    QStringList posicionales;
    std::optional<quint32> semilla;
    std::optional<QString> password;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--semilla")) {
            bool ok = false;
            if (i + 1 < args.size())
                semilla = args[i + 1].toUInt(&ok);
            if (!ok)
                return errorDeUso(QStringLiteral("--semilla necesita un número entero de 0 a 4294967295"));
            ++i;
        } else if (args[i] == QLatin1String("--clave")) {
            if (i + 1 >= args.size())
                return errorDeUso(QStringLiteral("--clave necesita la contraseña"));
            password = args[++i];
        } else {
            posicionales << args[i];
        }
    }
    if (semilla && orden != QLatin1String("sintetico"))
        return errorDeUso(QStringLiteral("--semilla solo vale para la orden sintetico"));
    if (password && orden != QLatin1String("migrar"))
        return errorDeUso(QStringLiteral("--clave solo vale para la orden migrar"));

    auto cuantos = [&](qsizetype n) { return posicionales.size() == n; };
    if (orden == QLatin1String("crear") && cuantos(1)) {
        tabletool::createTables(posicionales[0]);
        out() << "Tablas vacías creadas en " << QDir::toNativeSeparators(posicionales[0]) << '\n';
    } else if (orden == QLatin1String("importar") && cuantos(2)) {
        tabletool::importCsv(posicionales[0], posicionales[1]);
        out() << "Tablas importadas en " << QDir::toNativeSeparators(posicionales[1]) << '\n';
    } else if (orden == QLatin1String("exportar") && cuantos(2)) {
        tabletool::exportCsv(posicionales[0], posicionales[1]);
        out() << "Tablas exportadas a " << QDir::toNativeSeparators(posicionales[1]) << '\n';
    } else if (orden == QLatin1String("sintetico") && cuantos(4)) {
        int flores = 0, sintomas = 0, enlaces = 0;
        if (!leerEntero(posicionales[1], flores) || !leerEntero(posicionales[2], sintomas)
            || !leerEntero(posicionales[3], enlaces))
            return errorDeUso(QStringLiteral("FLORES, SINTOMAS y ENLACES_POR_SINTOMA deben ser números enteros"));
        tabletool::generateSynthetic(posicionales[0], flores, sintomas, enlaces, semilla.value_or(1));
        out() << "Catálogo sintético creado en " << QDir::toNativeSeparators(posicionales[0]) << '\n';
    } else if (orden == QLatin1String("verificar") && cuantos(1)) {
        tabletool::RowCounts recuento;
        const QStringList problemas = tabletool::verifyTables(posicionales[0], &recuento);
        if (!problemas.isEmpty()) {
            for (const QString &p : problemas)
                out() << p << '\n';
            out() << (problemas.size() == 1 ? QStringLiteral("Se encontró 1 problema")
                                            : QStringLiteral("Se encontraron %1 problemas").arg(problemas.size()))
                  << '\n';
            return 1;
        }
        out() << "Tablas correctas: " << recuento.flores << " flores, " << recuento.sintomas << " síntomas, "
              << recuento.enlaces << " enlaces\n";
    } else if (orden == QLatin1String("migrar") && cuantos(2)) {
        printReport(tabletool::migrateParadox(posicionales[0], posicionales[1], password), posicionales[1]);
    } else if (orden == QLatin1String("ayuda") || orden == QLatin1String("-h") || orden == QLatin1String("--help")) {
        out() << kUso;
    } else if (orden.isEmpty()) {
        return errorDeUso(QStringLiteral("falta la orden"));
    } else {
        const QStringList conocidas{QStringLiteral("crear"), QStringLiteral("importar"), QStringLiteral("exportar"),
                                    QStringLiteral("sintetico"), QStringLiteral("verificar"), QStringLiteral("migrar")};
        return errorDeUso(conocidas.contains(orden)
                              ? QStringLiteral("número de argumentos incorrecto para %1").arg(orden)
                              : QStringLiteral("orden desconocida: %1").arg(orden));
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    int estado = 0;
    try {
        estado = run(args);
    } catch (const std::bad_alloc &) {
        err() << "vantolia-tablas: no hay memoria suficiente\n";
        estado = 1;
    } catch (const std::exception &e) {
        err() << "vantolia-tablas: " << store::errorText(e) << '\n';
        estado = 1;
    }
    out().flush();
    err().flush();
    return estado;
}
