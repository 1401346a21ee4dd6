#pragma once

#include <QObject>

#include <functional>
#include <optional>

class Catalogue;
class DataGrid;
class QAbstractButton;
class QButtonGroup;
class QTabWidget;
class QWidget;

struct FlowerListControls
{
    DataGrid *GrFlor = nullptr;
    DataGrid *GrSint = nullptr;
    QButtonGroup *IdiomaRep = nullptr;
    QAbstractButton *Modificar = nullptr;
    QAbstractButton *Sintomas = nullptr;
    QTabWidget *Ficha = nullptr;
    QWidget *PagFlor = nullptr;
};

// How the flower list is shown: in which of the three names, sorted by it, and of which
// flower system.
class FlowerListDisplay : public QObject
{
    Q_OBJECT
public:
    FlowerListDisplay(Catalogue &catalogue, const FlowerListControls &controles, QObject *parent = nullptr);

    // The result list's name column, run when the flower page's choice changes it.
    std::function<void()> IdiomaRepClick;
    // Fits the photograph of the current flower to its frame.
    std::function<void()> AjustarFoto;

    // The flower page's name choice: 1 Spanish, 2 English, 3 scientific.
    void Idioma1Click(int idioma);
    // A flower system picked in the system list: 0 for all of them.
    void CBSelChange(int sistema);

    // The system last picked, which new flowers take; none until one is picked.
    std::optional<quint8> currentSystem() const { return m_sistema; }

private:
    Catalogue &c;
    FlowerListControls w;
    std::optional<quint8> m_sistema;
};
