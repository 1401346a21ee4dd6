#pragma once

#include "symptomsearch.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class Catalogue;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;

struct SearchControls
{
    QLineEdit *Ed = nullptr;
    QButtonGroup *RGBus = nullptr;
    QLabel *LabCantSint = nullptr;
    QAbstractButton *Agregar = nullptr;
};

// The search box of the symptoms page: it narrows the symptom list as the text changes, or in
// the first mode only moves to the nearest name, and tells how many symptoms show.
class SearchBox : public QObject
{
    Q_OBJECT
public:
    SearchBox(Catalogue &catalogue, const SearchControls &controles, QObject *parent = nullptr);
    ~SearchBox() override;

    // The symptom list's after-move refresh, run after every search.
    std::function<void()> TSintAfterScroll;

    void EdChange();
    void RGBusClick();
    // The per-row test of the symptom view while a narrowing search is on.
    bool TSintFilterRecord(store::Slot fila) const;

    const QStringList &words() const { return Palabras; }

private:
    int modo() const;
    search::NameIndex &indice();

    Catalogue &c;
    SearchControls w;
    QStringList Palabras;
    std::unique_ptr<search::NameIndex> m_indice;
};
