#pragma once

#include <QObject>

class Catalogue;

// The symptom selection and its processing into a ranked result. It touches only the tables;
// the pages show what it reports.
class Selection : public QObject
{
    Q_OBJECT
public:
    explicit Selection(Catalogue &catalogue, QObject *parent = nullptr);

    bool hasSymptoms() const;

    void AgregarClick();
    void QuitarClick();
    void ReiniciarClick();
    // Fills the result from the selection; the result is ordered by count, on its first row.
    void ProcesarClick();

signals:
    // Whether any symptom is chosen, after every change of the selection.
    void selectionChanged(bool hasSymptoms);
    // The result is ready to be shown.
    void processed();

private:
    Catalogue &m_catalogue;
};
