#pragma once

#include "catalogue/catalogue.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TForm1;
}
class TFLogo;
class Selection;
class SearchBox;
class FlowerListDisplay;
class MainWindowAppearance;
class TFSelArch;
class SelectionStorage;

// The main window: the toolbar, the four pages with every control on them, and the moves
// between the pages. It ends only through the leave panel of the start page.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Enters the symptoms page; causa is the button that asked for it.
    void SintomasClick(const QObject *causa);
    // Back from the repertory page to the symptoms page; from any other page, the leave panel.
    void CerrarClick();
    void BitBtn1Click();
    void BitBtn2Click();
    // Centres the logo, and the leave panel under it, on the start page.
    void PagLogoShow();

    // The flower page's and the symptom list's refresh after their cursors moved.
    void TFloresAfterScroll();
    void TSintAfterScroll();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void prepararControles();
    void conectarControles();

    void FormCreate();
    void FormShow();
    void FormActivate();
    bool FormCloseQuery() const;
    void FormClose();
    void mostrarLogoUnSegundo();

    void ajustarGrillasSintomas();
    void Splitter7Moved();
    void Splitter8Moved();
    void Splitter9Moved();

    // Steps that belong to the catalogue, search, files, edit mode, appearance and settings.
    void ColorClick();
    void entregarPassword();
    void abrirTablas();
    void cerrarTablas();
    void AplicarColores();
    void AplicarLetra();
    void MasClick();
    void MenosClick();
    void PlanRepClick();
    void PonerEdicion(bool on);
    void leerConfiguracion();
    void escribirConfiguracion();
    void grabarFlorPendiente();
    void ponerMaestroSintomas();
    void quitarFiltroSistema();
    void EdChange();
    void LeerPaciente();

    void crearOperaciones();
    int flowerLanguage() const;

    std::unique_ptr<Ui::TForm1> ui;
    Catalogue catalogue;
    std::unique_ptr<Selection> seleccion;
    std::unique_ptr<SearchBox> buscador;
    std::unique_ptr<FlowerListDisplay> presentacion;
    std::unique_ptr<MainWindowAppearance> appearance;
    // The repertory file chooser is made once and kept for the whole run.
    std::unique_ptr<TFSelArch> selArch;
    std::unique_ptr<SelectionStorage> archivos;
    // The splash window stays open underneath the main window for the whole run.
    std::unique_ptr<TFLogo> logo;
    // The page that showed when the leave panel was opened; "&No" goes back to it.
    QWidget *paginaAnterior = nullptr;
};
