#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class SymptomsPage;
}
class Catalogue;
class SplitterPanels;
class FlowerLinks;
class SearchBox;
class Selection;
class SelectionStorage;
class SymptomRecords;
class TFSelArch;

// The symptoms page: the search box over the symptom list, the flowers of the current
// symptom, the selection being gathered with its buttons, and the stored selections.
class SymptomsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SymptomsPage(QWidget *parent = nullptr);
    ~SymptomsPage() override;

    void setUp(Catalogue &catalogue);

    // What entering the page does to it: grids refitted, the search re-applied with the focus
    // in its box, the link to a flower out of sight.
    void enter();
    // Reads the companion application's patient file and shows or hides the patient.
    void LeerPaciente();
    void TSintAfterScroll();
    // Edit mode shows the buttons that change symptoms and link the selection to the current
    // flower, and lines the symptom count up on the left.
    void setEditMode(bool on);
    // Which panel sizes the user has set on this page, for the settings file: PanInfSint, PanDerSint.
    QList<int> panelSizes() const;
    void setPanelSizes(const QList<int> &sizes);

signals:
    // The selection was processed: the result is ready to be shown.
    void processed();
    // The companion application's patient as the page now shows it; empty when none shows.
    void patientShown(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitGrids();
    void enableSelectionButtons(bool on);
    void showCount(int count);

    std::unique_ptr<Ui::SymptomsPage> ui;
    std::unique_ptr<SplitterPanels> m_panels;
    Catalogue *m_catalogue = nullptr;
    std::unique_ptr<TFSelArch> m_chooser;
    SearchBox *m_search = nullptr;
    Selection *m_selection = nullptr;
    SelectionStorage *m_storage = nullptr;
    SymptomRecords *m_records = nullptr;
    FlowerLinks *m_links = nullptr;
    bool m_editMode = false;
};
