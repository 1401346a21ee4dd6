#pragma once

#include <QObject>
#include <QString>

class Catalogo;
class QAbstractButton;
class QLabel;
class QWidget;
class Seleccion;
class TFSelArch;

// The controls of the patient open in the companion application.
struct ControlesPaciente
{
    QWidget *PanPac = nullptr;
    QAbstractButton *ChPac = nullptr;
    QLabel *LabPac = nullptr;
};

// Saving the selection as a file of symptom keys and opening it again, through the chooser or,
// while a patient is shown and ticked, straight to that patient's file.
class ArchivosRepertorio : public QObject
{
    Q_OBJECT
public:
    ArchivosRepertorio(Catalogo &catalogo, Seleccion &seleccion, TFSelArch &chooser, const ControlesPaciente &controles,
                       QObject *parent = nullptr);

    void GuardarClick();
    void AbrirClick();
    // Reads the companion application's patient file and shows or hides the patient.
    void LeerPaciente();

    void GuardarRepertorio();
    void AbrirRepertorio();
    // Empties the selection and the result, then fills the selection from the file. Never
    // processes. Throws repertorio::ErrorArchivo when the file is faulty, after loading what
    // came before the fault.
    void CargarRepertorio(const QString &ruta);

    // The patient's panel shows and is ticked: both operations go to the patient's file.
    bool modoPaciente() const;
    const QString &archPaciente() const { return ArchPaciente; }

private:
    Catalogo &c;
    Seleccion &seleccion;
    TFSelArch &selector;
    ControlesPaciente w;
    QString ArchPaciente;
};
