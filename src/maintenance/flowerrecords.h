#pragma once

#include <QObject>

class Catalogue;
class DataGrid;
class QLabel;
class QWidget;

// Adding and deleting flowers, and the keyboard search of the flower list: typed letters
// gather in LabBus and move the list to the first name at or after them.
class FlowerRecords : public QObject
{
    Q_OBJECT
public:
    FlowerRecords(Catalogue &catalogue, DataGrid *GrFlor, QLabel *LabBus, QWidget *EdNom1, QObject *parent = nullptr);

    // A new flower of `system` (1 to 13); 0, when no single system is chosen, only says so.
    void NuevaFlorClick(int system);
    void ElimFlorClick();
    // A key typed in the flower list: `text` is the character it types, if any.
    void GrFlorKeyPress(int key, const QString &text);
    void GrFlorExit();

private:
    void endSearch();

    Catalogue &m_catalogue;
    DataGrid *m_list;
    QLabel *m_typed;
    QWidget *m_spanishName;
};
