#include "catalogo.h"

#include "systems.h"
#include "tables.h"

#include <QDir>

using store::FieldDef;
using store::FieldType;
using store::TableFile;

Catalogo::Catalogo(QObject *parent) : QObject(parent)
{
    definirCampos();
}

Catalogo::~Catalogo()
{
    // Views close before their tables go; a change still pending is posted if it can be.
    try {
        cerrar();
    } catch (...) {
    }
}

void Catalogo::definirCampos()
{
    TFlores.addCalculatedField({QStringLiteral("AbrTipo"), FieldType::Text, 5, {}},
                               [](const store::RowRef &row) {
                                   return QVariant(catalogo::abreviaturaTipo(row.text(QStringLiteral("Tipo"))));
                               });
    TFlores.addCalculatedField({QStringLiteral("Nom"), FieldType::Text, 25, {}}, [this](const store::RowRef &row) {
        const int n = idiomaFlores ? idiomaFlores() : 1;
        return row.value(QStringLiteral("Nom%1").arg(n));
    });

    TRelF.addLookupField({QStringLiteral("Sint"), FieldType::Text, 60, QStringLiteral("Descripción de los síntomas")},
                         QStringLiteral("KSint"), &TSint, QStringLiteral("Clave"), QStringLiteral("Nom"));

    auto nombresDeFlor = [this](store::View &view, const QString &clave) {
        for (int n = 1; n <= 3; ++n)
            view.addLookupField({QStringLiteral("Nom%1").arg(n), FieldType::Text, 25, catalogo::etiquetaNombre(n)},
                                clave, &TFlores, QStringLiteral("Clave"), QStringLiteral("Nom%1").arg(n));
        view.addLookupField({QStringLiteral("Tipo"), FieldType::Text, 5, {}}, clave, &TFlores,
                            QStringLiteral("Clave"), QStringLiteral("AbrTipo"));
    };
    nombresDeFlor(TRelS, QStringLiteral("KFlor"));
    nombresDeFlor(TRepF, QStringLiteral("Clave"));

    TRepS.addLookupField({QStringLiteral("Nom"), FieldType::Text, 60, {}}, QStringLiteral("Clave"), &TSintNombres,
                         QStringLiteral("Clave"), QStringLiteral("Nom"));

    TRelF.setMasterSource(&SFlores);
    TRelS.setMasterSource(&SSint);
}

store::Table *Catalogo::abrirTabla(std::unique_ptr<store::Table> &tabla, const store::TableDef &def,
                                   TableFile::Durability durability)
{
    if (!tabla)
        tabla = std::make_unique<store::Table>(QDir::current().filePath(def.fileName()), def, durability);
    return tabla.get();
}

void Catalogo::abrir()
{
    const auto full = TableFile::Durability::Full;
    const auto relaxed = TableFile::Durability::Relaxed;

    TFlores.setTable(abrirTabla(m_flores, catalogo::defFlores(), full));
    TFlores.setIndexName(QStringLiteral("PorNom1"));
    TFlores.open();

    TSint.setTable(abrirTabla(m_sintomas, catalogo::defSintomas(), full));
    TSint.setIndexName(QStringLiteral("PorNom"));
    TSintNombres.setTable(m_sintomas.get());
    TSint.open();
    TSintNombres.open();

    store::Table *rel = abrirTabla(m_rel, catalogo::defRel(), full);
    TRelF.setTable(rel);
    TRelF.setIndexName(QStringLiteral("PorFlor"));
    TRelF.open();
    TRelS.setTable(rel);
    TRelS.setIndexName(QStringLiteral("PorSint"));
    TRelS.open();

    abrirTabla(m_repFlor, catalogo::defRepFlor(), relaxed)->empty();
    TRepF.setTable(m_repFlor.get());
    TRepF.open();

    abrirTabla(m_repSint, catalogo::defRepSint(), relaxed)->empty();
    TRepS.setTable(m_repSint.get());
    TRepS.open();
}

void Catalogo::cerrar()
{
    for (store::View *v : {&TFlores, &TSint, &TRelF, &TRelS, &TRepF, &TRepS, &TSintNombres})
        v->close();
}

void Catalogo::vaciarSeleccion()
{
    TRepS.close();
    m_repSint->empty();
    TRepS.open();
}

void Catalogo::vaciarResultado()
{
    TRepF.close();
    m_repFlor->empty();
    TRepF.open();
}

store::Table *Catalogo::tabla(const QString &nombre) const
{
    for (const auto *t : {&m_flores, &m_sintomas, &m_rel, &m_repSint, &m_repFlor})
        if (*t && (*t)->def().tableName.compare(nombre, Qt::CaseInsensitive) == 0)
            return t->get();
    return nullptr;
}

QString CampoPorClave(store::View &view, qint32 clave, const QString &campo)
{
    const bool estabaAbierta = view.isOpen();
    view.open();
    const store::Bookmark marca = view.bookmark();
    QString resultado;
    if (view.locate(QStringLiteral("Clave"), clave))
        resultado = view.asString(campo);
    view.gotoBookmark(marca);
    if (!estabaAbierta)
        view.close();
    return resultado;
}
