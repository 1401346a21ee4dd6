#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class RepertoryPage;
}
class Catalogue;
class SplitterPanels;

// The repertory page: the chosen symptoms, the flowers of the current one, and the ranked
// result with the choice of name, the visit to one flower, the copy and the worksheet.
class RepertoryPage : public QWidget
{
    Q_OBJECT
public:
    explicit RepertoryPage(QWidget *parent = nullptr);
    ~RepertoryPage() override;

    void setUp(Catalogue &catalogue);

    // The result's name column follows the page's name choice.
    void IdiomaRepClick();
    // The flower page's name choice: the result shows the same name (1 to 3), unless it does already.
    void followLanguage(int language);
    // The result's field that names the flowers.
    QString nameField() const;
    // Which panel sizes the user has set on this page, for the settings file: GrRep, PanDerRep.
    QList<int> panelSizes() const;
    void setPanelSizes(const QList<int> &sizes);
    // The patient open in the companion application, offered when printing; empty for none.
    void setPatient(const QString &name);

signals:
    // The user asked to see the result's current flower.
    void flowerRequested();

private:
    void BotCopiarClick();
    void PlanRepClick();
    void printCaseClick();
    void suggestMixtureClick();

    std::unique_ptr<Ui::RepertoryPage> ui;
    std::unique_ptr<SplitterPanels> m_panels;
    Catalogue *m_catalogue = nullptr;
    QString m_patient;
};
