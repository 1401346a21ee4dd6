#pragma once

#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class FlowersPage;
}
class Catalogue;
class FlowerLinks;
class FlowerRecords;
class FlowerPhoto;
class SplitterPanels;
class QShortcut;

// The flower page: the flower list of the chosen system, the current flower's three names,
// descriptions, photograph and symptoms, the choice of name, and the return notice shown
// while a flower of the result is being looked at.
class FlowersPage : public QWidget
{
    Q_OBJECT
public:
    explicit FlowersPage(QWidget *parent = nullptr);
    ~FlowersPage() override;

    void setUp(Catalogue &catalogue);

    // The name the list shows and sorts by: 1 Spanish, 2 English, 3 scientific.
    void Idioma1Click(int language);
    // Shows only the flowers of one system, or of all of them (0); the cursor stays on its
    // flower when that flower is still shown.
    void applySystem(int system);
    // The system last applied, which new flowers take; none until one is applied.
    std::optional<quint8> currentSystem() const { return m_system; }
    // What showing the page does to it: grids refitted, the focus on the flower list.
    void enter();
    void TFloresAfterScroll();
    // Lays the photo out again in its frame, as the fit mode says; for whatever changes the
    // frame's size, such as the text size.
    void AjustarFoto();

    // Edit mode shows the panels that change flowers, links and photos.
    void setEditMode(bool on);
    // A new flower of `system`, 0 when no single system is chosen (which only says so).
    void NuevaFlorClick(int system);

    // Shows the return notice in place of the list and puts the cursor on the flower with the
    // given key, if any, whatever the list's order; hideReturnNotice() brings the list back.
    void showResultFlower(std::optional<qint32> key);
    void hideReturnNotice();

    // Which panel sizes the user has set on this page, for the settings file: PanFlor,
    // PanInfFlor, PanMemo, PanSupMemo.
    QList<int> panelSizes() const;
    void setPanelSizes(const QList<int> &sizes);

signals:
    // The user chose another name for the flowers (1 to 3).
    void languageChosen(int language);
    // The user asked to go back from a result flower to the result.
    void returnRequested();
    // The user asked for a new flower; which system it takes is the toolbar's to say.
    void newFlowerRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setReturnNoticeShown(bool shown);

    std::unique_ptr<Ui::FlowersPage> ui;
    std::unique_ptr<SplitterPanels> m_panels;
    Catalogue *m_catalogue = nullptr;
    std::optional<quint8> m_system;
    QList<QShortcut *> m_returnKeys;
    FlowerRecords *m_records = nullptr;
    FlowerLinks *m_links = nullptr;
    FlowerPhoto *m_photo = nullptr;
};
