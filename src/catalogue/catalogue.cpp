#include "catalogue.h"

#include "flowersystems.h"
#include "tabledefinitions.h"

#include <QDir>
#include <QThread>

#include <future>

using store::FieldDef;
using store::FieldType;
using store::TableFile;

Catalogue::Catalogue(QObject *parent) : QObject(parent)
{
    defineFields();
}

Catalogue::~Catalogue()
{
    // Views close before their tables go; a change still pending is posted if it can be.
    try {
        close();
    } catch (...) {
    }
}

void Catalogue::defineFields()
{
    TFlores.addCalculatedField({QStringLiteral("AbrTipo"), FieldType::Text, 5, {}},
                               [](const store::RowRef &row) {
                                   return QVariant(catalogue::tipoAbbreviation(row.text(QStringLiteral("Tipo"))));
                               });
    TFlores.addCalculatedField({QStringLiteral("Nom"), FieldType::Text, 25, {}}, [this](const store::RowRef &row) {
        return row.value(QStringLiteral("Nom%1").arg(m_flowerLanguage));
    });

    TRelF.addLookupField({QStringLiteral("Sint"), FieldType::Text, 60, QStringLiteral("Descripción de los síntomas")},
                         QStringLiteral("KSint"), &TSint, QStringLiteral("Clave"), QStringLiteral("Nom"));

    auto flowerNames = [this](store::View &view, const QString &key) {
        for (int n = 1; n <= 3; ++n)
            view.addLookupField({QStringLiteral("Nom%1").arg(n), FieldType::Text, 25, catalogue::nameLabel(n)},
                                key, &TFlores, QStringLiteral("Clave"), QStringLiteral("Nom%1").arg(n));
        view.addLookupField({QStringLiteral("Tipo"), FieldType::Text, 5, {}}, key, &TFlores,
                            QStringLiteral("Clave"), QStringLiteral("AbrTipo"));
    };
    flowerNames(TRelS, QStringLiteral("KFlor"));
    flowerNames(TRepF, QStringLiteral("Clave"));

    TRepS.addLookupField({QStringLiteral("Nom"), FieldType::Text, 60, {}}, QStringLiteral("Clave"), &TSintNames,
                         QStringLiteral("Clave"), QStringLiteral("Nom"));

    TRelF.setMasterSource(&SFlores);
    TRelS.setMasterSource(&SSint);
}

store::Table *Catalogue::openTable(std::unique_ptr<store::Table> &table, const store::TableDef &def,
                                   TableFile::Durability durability)
{
    if (!table) {
        table = std::make_unique<store::Table>(QDir::current().filePath(def.fileName()), def, durability);
        connect(table.get(), &store::Table::writeFailed, this, &Catalogue::writeFailed);
    }
    return table.get();
}

namespace {

// Loads a table on a thread of its own and hands it back to the calling thread, which gets
// its notifications from then on.
std::future<std::unique_ptr<store::Table>> loadApart(const store::TableDef &def)
{
    QThread *mainThread = QThread::currentThread();
    const QString path = QDir::current().filePath(def.fileName());
    return std::async(std::launch::async, [def, path, mainThread] {
        auto table = std::make_unique<store::Table>(path, def, TableFile::Durability::Full);
        table->moveToThread(mainThread);
        return table;
    });
}

} // namespace

void Catalogue::open()
{
    const auto full = TableFile::Durability::Full;
    const auto relaxed = TableFile::Durability::Relaxed;

    // The link table is by far the largest: it loads while the others do.
    std::future<std::unique_ptr<store::Table>> links;
    if (!m_rel)
        links = loadApart(catalogue::relDef());
    struct WaitForLinks
    {
        std::future<std::unique_ptr<store::Table>> &f;
        ~WaitForLinks()
        {
            if (f.valid())
                f.wait();
        }
    } waitForLinks{links};

    TFlores.setTable(openTable(m_flores, catalogue::floresDef(), full));
    TFlores.setIndexName(QStringLiteral("PorNom1"));
    TFlores.open();

    TSint.setTable(openTable(m_sintomas, catalogue::sintomasDef(), full));
    TSint.setIndexName(QStringLiteral("PorNom"));
    TSintNames.setTable(m_sintomas.get());
    TSint.open();
    TSintNames.open();

    if (links.valid())
        m_rel = links.get();
    store::Table *rel = m_rel.get();
    TRelF.setTable(rel);
    TRelF.setIndexName(QStringLiteral("PorFlor"));
    TRelF.open();
    TRelS.setTable(rel);
    TRelS.setIndexName(QStringLiteral("PorSint"));
    TRelS.open();

    openTable(m_repFlor, catalogue::repFlorDef(), relaxed)->empty();
    TRepF.setTable(m_repFlor.get());
    TRepF.open();

    openTable(m_repSint, catalogue::repSintDef(), relaxed)->empty();
    TRepS.setTable(m_repSint.get());
    TRepS.open();
}

void Catalogue::close()
{
    for (store::View *v : {&TFlores, &TSint, &TRelF, &TRelS, &TRepF, &TRepS, &TSintNames})
        v->close();
}

void Catalogue::emptySelection()
{
    TRepS.close();
    m_repSint->empty();
    TRepS.open();
}

void Catalogue::emptyResult()
{
    TRepF.close();
    m_repFlor->empty();
    TRepF.open();
}

store::Table *Catalogue::table(const QString &name) const
{
    for (const auto *t : {&m_flores, &m_sintomas, &m_rel, &m_repSint, &m_repFlor})
        if (*t && (*t)->def().tableName.compare(name, Qt::CaseInsensitive) == 0)
            return t->get();
    return nullptr;
}

QString CampoPorClave(store::View &view, qint32 key, const QString &field)
{
    const bool wasOpen = view.isOpen();
    view.open();
    const store::Bookmark mark = view.bookmark();
    QString result;
    if (view.locate(QStringLiteral("Clave"), key))
        result = view.asString(field);
    view.gotoBookmark(mark);
    if (!wasOpen)
        view.close();
    return result;
}
