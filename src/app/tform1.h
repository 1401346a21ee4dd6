#pragma once

#include "catalogue/catalogue.h"
#include "settingsfile.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TForm1;
}
class MainWindowAppearance;
class TFLogo;

// The main window: the toolbar, the start page with the leave panel, and the moves between
// the flower, symptom and repertory pages, which do their own work and report through signals.
// It ends only through the leave panel of the start page.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Enters the symptoms page; `cause` is the button that asked for it.
    void SintomasClick(const QObject *cause);
    // Back from the repertory page to the symptoms page; from any other page, the leave panel.
    void CerrarClick();
    void BitBtn1Click();
    void BitBtn2Click();
    // Centres the logo, and the leave panel under it, on the start page.
    void PagLogoShow();
    // A flower system picked in the toolbar's list: 0 for all of them.
    void CBSelChange(int system);
    // The result's current flower on the flower page, and back.
    void Button2Click();
    void LabVolverClick();
    void ayudaClick();
    // Edit mode: whether the catalogue may be changed at all.
    void PonerEdicion(bool on);
    void ModificarClick();
    void NuevaFlorClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void prepareControls();
    void connectPages();

    void FormCreate();
    void FormShow();
    bool FormCloseQuery() const;
    void FormClose();
    void showLogoForOneSecond();

    void ColorClick();
    void MasClick();
    void MenosClick();
    void AplicarColores();
    void AplicarLetra();
    void showResult();
    // The settings file: read once, when the window first shows, and written when it closes.
    void leerConfiguracion();
    void escribirConfiguracion();
    settingsfile::Settings currentSettings() const;
    void refitPhoto();
    void postPendingFlower();
    void liftSystemFilter();

    std::unique_ptr<Ui::TForm1> ui;
    // A child of the window, so that tests can reach the tables the window shows.
    Catalogue m_catalogue{this};
    std::unique_ptr<MainWindowAppearance> m_appearance;
    // The splash window stays open underneath the main window for the whole run.
    std::unique_ptr<TFLogo> m_logo;
    // The page that showed when the leave panel was opened; "&No" goes back to it.
    QWidget *m_pageBeforeLeaving = nullptr;
    bool m_settingsRead = false;
    bool EnEdicion = false;
};
