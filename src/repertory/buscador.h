#pragma once

#include "busqueda.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class Catalogo;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;

struct ControlesBusqueda
{
    QLineEdit *Ed = nullptr;
    QButtonGroup *RGBus = nullptr;
    QLabel *LabCantSint = nullptr;
    QAbstractButton *Agregar = nullptr;
};

// The search box of the symptoms page: it narrows the symptom list as the text changes, or in
// the first mode only moves to the nearest name, and tells how many symptoms show.
class Buscador : public QObject
{
    Q_OBJECT
public:
    Buscador(Catalogo &catalogo, const ControlesBusqueda &controles, QObject *parent = nullptr);
    ~Buscador() override;

    // The symptom list's after-move refresh, run after every search.
    std::function<void()> TSintAfterScroll;

    void EdChange();
    void RGBusClick();
    // The per-row test of the symptom view while a narrowing search is on.
    bool TSintFilterRecord(store::Slot fila) const;

    const QStringList &palabras() const { return Palabras; }

private:
    int modo() const;
    busqueda::IndiceNombres &indice();

    Catalogo &c;
    ControlesBusqueda w;
    QStringList Palabras;
    std::unique_ptr<busqueda::IndiceNombres> m_indice;
};
