#pragma once

#include <QObject>

class Catalogue;
class DataGrid;

// Adding, renaming in place and deleting symptoms in the symptom list, and the rule that gives
// every new symptom its `Orden`.
class SymptomRecords : public QObject
{
    Q_OBJECT
public:
    SymptomRecords(Catalogue &catalogue, DataGrid *GrSintomas, QObject *parent = nullptr);

    // Renaming is offered only while the catalogue may be changed.
    void setEditMode(bool on) { m_editMode = on; }

    void Button4Click();
    void CambiarNombreClick();
    void GrSintomasKeyDown();
    void GrSintomasExit();
    void Button5Click();
    // After every post of a symptom: one without `Orden` takes its own `Clave`.
    void TSintAfterPost();

private:
    Catalogue &m_catalogue;
    DataGrid *m_list;
    bool m_editMode = false;
};
