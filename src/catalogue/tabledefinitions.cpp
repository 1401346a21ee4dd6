#include "tabledefinitions.h"

using store::FieldDef;
using store::FieldType;
using store::IndexDef;
using store::Order;
using store::TableDef;

namespace catalogue {

QString nameLabel(int language)
{
    switch (language) {
    case 2: return QStringLiteral("Nombre Inglés");
    case 3: return QStringLiteral("Nombre Científico");
    default: return QStringLiteral("Nombre Español");
    }
}

TableDef floresDef()
{
    TableDef t;
    t.tableName = QStringLiteral("Flores");
    t.fields = {
        {QStringLiteral("Clave"), FieldType::AutoInc, 0, {}},
        {QStringLiteral("Tipo"), FieldType::Text, 2, {}},
        {QStringLiteral("Nom1"), FieldType::Text, 25, nameLabel(1)},
        {QStringLiteral("Nom2"), FieldType::Text, 25, nameLabel(2)},
        {QStringLiteral("Nom3"), FieldType::Text, 25, nameLabel(3)},
        {QStringLiteral("Memo1"), FieldType::Memo, 0, {}},
        {QStringLiteral("Memo2"), FieldType::Memo, 0, {}},
        {QStringLiteral("Memo3"), FieldType::Memo, 0, {}},
        {QStringLiteral("Foto"), FieldType::Graphic, 0, {}},
    };
    t.primary = {QString(), {{QStringLiteral("Clave")}}, true};
    for (int n = 1; n <= 3; ++n)
        t.indexes.push_back({QStringLiteral("PorNom%1").arg(n),
                             {{QStringLiteral("Nom%1").arg(n)}, {QStringLiteral("Clave")}}, false});
    return t;
}

TableDef sintomasDef()
{
    TableDef t;
    t.tableName = QStringLiteral("Sintomas");
    t.fields = {
        {QStringLiteral("Clave"), FieldType::AutoInc, 0, {}},
        {QStringLiteral("Nom"), FieldType::Text, 60, QStringLiteral("Descripción del Síntoma")},
        {QStringLiteral("Orden"), FieldType::Integer, 0, {}},
    };
    t.primary = {QString(), {{QStringLiteral("Clave")}}, true};
    t.indexes.push_back({QStringLiteral("PorNom"), {{QStringLiteral("Nom")}, {QStringLiteral("Clave")}}, false});
    return t;
}

TableDef relDef()
{
    TableDef t;
    t.tableName = QStringLiteral("Rel");
    t.fields = {
        {QStringLiteral("KFlor"), FieldType::Integer, 0, {}},
        {QStringLiteral("KSint"), FieldType::Integer, 0, {}},
        {QStringLiteral("OSint"), FieldType::Integer, 0, {}},
    };
    // A flower-symptom pair is stored once: the unique index refuses the second.
    t.indexes.push_back({QStringLiteral("PorFlor"), {{QStringLiteral("KFlor")}, {QStringLiteral("KSint")}}, true});
    // Processing and the worksheet walk the flowers of the chosen symptoms.
    t.indexes.push_back({QStringLiteral("PorSint"), {{QStringLiteral("KSint")}, {QStringLiteral("KFlor")}}, true, true});
    return t;
}

TableDef repSintDef()
{
    TableDef t;
    t.tableName = QStringLiteral("RepSint");
    t.fields = {{QStringLiteral("Clave"), FieldType::Integer, 0, {}}};
    t.primary = {QString(), {{QStringLiteral("Clave")}}, true};
    return t;
}

TableDef repFlorDef()
{
    TableDef t;
    t.tableName = QStringLiteral("RepFlor");
    t.fields = {
        {QStringLiteral("Clave"), FieldType::Integer, 0, {}},
        {QStringLiteral("Cant"), FieldType::SmallInt, 0, {}},
    };
    t.primary = {QString(), {{QStringLiteral("Clave")}}, true};
    // Highest count first; equal counts by flower key.
    t.indexes.push_back({QStringLiteral("PorCant"),
                         {{QStringLiteral("Cant"), Order::Descending}, {QStringLiteral("Clave")}}, false});
    return t;
}

std::vector<TableDef> allTableDefs()
{
    return {floresDef(), sintomasDef(), relDef(), repSintDef(), repFlorDef()};
}

QStringList tableFileNames()
{
    QStringList names;
    for (const TableDef &def : allTableDefs())
        names << def.fileName();
    return names;
}

} // namespace catalogue
