#pragma once

#include "store/datasource.h"
#include "store/fileheader.h"
#include "store/table.h"
#include "store/view.h"

#include <memory>

// The five tables and the six views through which the application reads and writes them.
class Catalogue : public QObject
{
    Q_OBJECT
public:
    explicit Catalogue(QObject *parent = nullptr);
    ~Catalogue() override;

    // The store takes the password before any table opens. These table files carry no
    // protection; the store names it in the command that brings over old tables protected by it.
    void setPassword(const QString &password) { store::setPassword(password); }

    // Opens the views in their fixed order from the tables of the working folder, emptying the
    // two working tables on the way. A table that fails stops the opening with its message.
    void open();
    void close();

    // Empty the working tables, closing their views around it.
    void emptySelection();
    void emptyResult();

    // Which flower name `Nom` shows: 1 Spanish, 2 English, 3 scientific.
    int flowerLanguage() const { return m_flowerLanguage; }
    void setFlowerLanguage(int language) { m_flowerLanguage = language; }

    // The selection names its symptoms whatever the search lets through.
    store::View TSintNames{QStringLiteral("TSintNombres")};
    store::View TFlores{QStringLiteral("TFlores")};
    store::View TSint{QStringLiteral("TSint")};
    store::View TRelF{QStringLiteral("TRelF")};
    store::View TRelS{QStringLiteral("TRelS")};
    store::View TRepF{QStringLiteral("TRepF")};
    store::View TRepS{QStringLiteral("TRepS")};

    store::DataSource SFlores{&TFlores};
    store::DataSource SSint{&TSint};
    store::DataSource SRelF{&TRelF};
    store::DataSource SRelS{&TRelS};
    store::DataSource SRepF{&TRepF};
    store::DataSource SRepS{&TRepS};

    store::Table *table(const QString &name) const;

signals:
    // The working tables are written behind; when that fails the window tells the user.
    void writeFailed(const QString &message);

private:
    void defineFields();
    store::Table *openTable(std::unique_ptr<store::Table> &table, const store::TableDef &def,
                             store::TableFile::Durability durability);

    int m_flowerLanguage = 1;
    std::unique_ptr<store::Table> m_flores, m_sintomas, m_rel, m_repSint, m_repFlor;
};

// One field of the row with the given `Clave`, as text; empty when there is no such row.
// The view is left open or closed, and on the row, as it was.
QString CampoPorClave(store::View &view, qint32 key, const QString &field);
