// One operation of the program that writes to the disk, done on a working folder through the
// program's own code, for scripts/kill-harness.sh to kill at any moment:
//   vantolia-killdriver OPERATION FOLDER
// post      renames a flower and posts it
// insert    appends a symptom and posts it
// delete    deletes a flower with all its links
// link      selects four symptoms and links them to a flower in one batch
// save      saves a selection of symptoms as Repertorio/caso.Dat
// settings  writes Config.Dat
// Prints "hecho" and ends with 0 when the operation is complete; any failure is printed and ends
// with 1.
#include "catalogue/catalogue.h"
#include "maintenance/catalogueedits.h"
#include "app/settingsfile.h"
#include "repertory/selectionfiles.h"
#include "store/error.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <exception>

namespace {

// A flower of the fixture with links, and the symptoms not yet linked to it.
constexpr qint32 kFlower = 2;
const std::vector<qint32> kChosen = {1, 3, 5, 12};

void locate(store::View &view, qint32 key)
{
    if (!view.locate(QStringLiteral("Clave"), key))
        throw store::Error(QStringLiteral("No existe la fila %1 en %2").arg(key).arg(view.objectName()));
}

void run(const QString &operation)
{
    if (operation == QLatin1String("save")) {
        repertory::saveKeys(QByteArrayLiteral("Repertorio/caso.Dat"), kChosen);
        return;
    }
    if (operation == QLatin1String("settings")) {
        settingsfile::Settings settings;
        settings.window = QRect(40, 50, 900, 650);
        settings.panels = {300, 160, 400, 240, 220, 400, 330, 300};
        settings.scheme = 4;
        settings.textSize = 12;
        if (const QString failure = settingsfile::write(QDir::currentPath(), settings); !failure.isEmpty())
            throw store::Error(failure);
        return;
    }

    Catalogue catalogue;
    catalogue.open();
    if (operation == QLatin1String("post")) {
        locate(catalogue.TFlores, kFlower);
        catalogue.TFlores.edit();
        catalogue.TFlores.setValue(QStringLiteral("Nom1"), QStringLiteral("Flor renombrada"));
        catalogue.TFlores.post();
    } else if (operation == QLatin1String("insert")) {
        catalogue.TSint.append();
        catalogue.TSint.setValue(QStringLiteral("Nom"), QStringLiteral("Síntoma nuevo"));
        catalogue.TSint.setValue(QStringLiteral("Orden"), 3);
        catalogue.TSint.post();
    } else if (operation == QLatin1String("delete")) {
        locate(catalogue.TFlores, kFlower);
        maintenance::deleteFlowerWithLinks(catalogue);
    } else if (operation == QLatin1String("link")) {
        std::vector<store::Record> rows;
        for (const qint32 key : kChosen)
            rows.push_back(store::Record{{key}, {true}});
        catalogue.TRepS.table()->insertMany(rows);
        locate(catalogue.TFlores, kFlower);
        maintenance::linkSelectionToFlower(catalogue);
    } else {
        throw store::Error(QStringLiteral("Operación desconocida: %1").arg(operation));
    }
    catalogue.close();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 3 || !QDir::setCurrent(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "Uso: vantolia-killdriver post|insert|delete|link|save|settings CARPETA\n");
        return 2;
    }
    try {
        run(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(store::errorText(e)));
        return 1;
    }
    std::printf("hecho\n");
    return 0;
}
