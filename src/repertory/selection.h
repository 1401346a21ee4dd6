#pragma once

#include <QObject>

#include <functional>

class Catalogue;
class DataGrid;
class QAbstractButton;
class QButtonGroup;
class QShortcut;
class QTabWidget;
class QWidget;

// The controls that building, processing and reading a selection touch.
struct SelectionControls
{
    QAbstractButton *Agregar = nullptr;
    QAbstractButton *Quitar = nullptr;
    QAbstractButton *Reiniciar = nullptr;
    QAbstractButton *Procesar = nullptr;
    QAbstractButton *BotAgrSintFlor = nullptr;
    QAbstractButton *Sintomas = nullptr; // toolbar toggle of the symptoms page
    QAbstractButton *EnterEscape = nullptr;
    QTabWidget *Ficha = nullptr;
    QWidget *PagFlor = nullptr;
    QWidget *PagRep = nullptr;
    QWidget *PanOK = nullptr;
    QWidget *PanBot = nullptr;
    QWidget *GrFlor = nullptr;
    DataGrid *GrRepF = nullptr;
    QButtonGroup *IdiomaRep = nullptr;
};

// The symptom selection and its processing into a ranked result, and the visit to one flower
// of the result and back.
class Selection : public QObject
{
    Q_OBJECT
public:
    Selection(Catalogue &catalogue, const SelectionControls &controles, QObject *parent = nullptr);

    // Colours and text size, re-applied after processing.
    std::function<void()> applyAppearance;
    // The flower page's refresh after its cursor moved.
    std::function<void()> TFloresAfterScroll;

    // Process, remove, clear and "add to flower" are usable exactly when symptoms are chosen.
    void enableBySelection();

    void AgregarClick();
    void QuitarClick();
    void ReiniciarClick();
    void ProcesarClick();
    void IdiomaRepClick();
    void Button2Click();
    void LabVolverClick();

private:
    void habilitar(bool on);
    void mostrarAviso(bool visible);

    Catalogue &c;
    SelectionControls w;
    QShortcut *m_enter = nullptr;
    QShortcut *m_enterTeclado = nullptr;
    QShortcut *m_escape = nullptr;
};
