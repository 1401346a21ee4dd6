#pragma once

#include <QObject>
#include <QString>

class Catalogue;
class QAbstractButton;
class QLabel;
class QWidget;
class TFSelArch;

// Saving the selection as a file of symptom keys and opening it again, through the chooser or,
// while a patient is shown and ticked, straight to that patient's file.
class SelectionStorage : public QObject
{
    Q_OBJECT
public:
    // The three controls of the patient open in the companion application.
    SelectionStorage(Catalogue &catalogue, TFSelArch &chooser, QWidget *PanPac, QAbstractButton *ChPac, QLabel *LabPac,
                     QObject *parent = nullptr);

    void GuardarClick();
    void AbrirClick();
    // Reads the companion application's patient file and shows or hides the patient.
    void LeerPaciente();

    void GuardarRepertorio();
    void AbrirRepertorio();
    // Empties the selection and the result, then fills the selection from the file. Never
    // processes. A file that cannot be read, or is not a stored selection, throws store::Error
    // and leaves both as they were; one that holds a key twice throws after loading what came
    // before it.
    void CargarRepertorio(const QString &path);
    // The same for a path as the system holds its bytes.
    void CargarRepertorio(const QByteArray &path);

    // The patient's panel shows and is ticked: both operations go to the patient's file.
    bool patientMode() const;
    const QString &patientFile() const { return ArchPaciente; }

signals:
    // The selection was replaced by what a file held, whole or up to a fault.
    void selectionLoaded();

private:
    Catalogue &m_catalogue;
    TFSelArch &m_chooser;
    QWidget *m_patientPanel;
    QAbstractButton *m_patientTick;
    QLabel *m_patientName;
    QString ArchPaciente;
};
