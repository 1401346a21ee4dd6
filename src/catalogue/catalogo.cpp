#include "catalogo.h"

#include "systems.h"
#include "tables.h"

#include <QDir>
#include <QThread>

#include <future>

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

namespace {

// Loads a table on a thread of its own and hands it back to the calling thread, which gets
// its notifications from then on.
std::future<std::unique_ptr<store::Table>> cargarAparte(const store::TableDef &def)
{
    QThread *principal = QThread::currentThread();
    const QString ruta = QDir::current().filePath(def.fileName());
    return std::async(std::launch::async, [def, ruta, principal] {
        auto tabla = std::make_unique<store::Table>(ruta, def, TableFile::Durability::Full);
        tabla->moveToThread(principal);
        return tabla;
    });
}

} // namespace

void Catalogo::abrir()
{
    const auto full = TableFile::Durability::Full;
    const auto relaxed = TableFile::Durability::Relaxed;

    // The link table is by far the largest: it loads while the others do.
    std::future<std::unique_ptr<store::Table>> enlaces;
    if (!m_rel)
        enlaces = cargarAparte(catalogo::defRel());
    struct Esperar
    {
        std::future<std::unique_ptr<store::Table>> &f;
        ~Esperar()
        {
            if (f.valid())
                f.wait();
        }
    } esperar{enlaces};

    TFlores.setTable(abrirTabla(m_flores, catalogo::defFlores(), full));
    TFlores.setIndexName(QStringLiteral("PorNom1"));
    TFlores.open();

    TSint.setTable(abrirTabla(m_sintomas, catalogo::defSintomas(), full));
    TSint.setIndexName(QStringLiteral("PorNom"));
    TSintNombres.setTable(m_sintomas.get());
    TSint.open();
    TSintNombres.open();

    if (enlaces.valid())
        m_rel = enlaces.get();
    store::Table *rel = m_rel.get();
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
