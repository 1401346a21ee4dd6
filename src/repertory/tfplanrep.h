#pragma once

#include "worksheet.h"

#include <QDialog>

class Catalogue;
class CellGrid;
class QFrame;
class QLabel;
class QListWidget;
class QPainter;
class QToolButton;
class SheetModel;

// The worksheet window: the result flowers against the chosen symptoms, the numbered
// references of the symptoms, and buttons to copy the sheet as text and to close. One window
// per build; it changes no table.
class TFPlanRep : public QDialog
{
    Q_OBJECT
public:
    explicit TFPlanRep(QWidget *parent = nullptr);
    ~TFPlanRep() override;

    // The sheet as built, in the result's order; the references fill LRef.
    void setSheet(worksheet::Sheet sheet);
    const worksheet::Sheet &sheet() const { return m_hoja; }

    CellGrid *Gr = nullptr;
    QWidget *PanDer = nullptr;
    QFrame *Panel1 = nullptr;
    QToolButton *Copiar = nullptr;
    QToolButton *Cerrar = nullptr;
    QFrame *Panel6 = nullptr;
    QLabel *Lab4 = nullptr;
    QListWidget *LRef = nullptr;

    void OrdenarPorPuntaje();
    void AjustarColumnas();
    void ColoresPlanilla();
    void LetraPlanilla();
    // Draws one cell of Gr; the grid paints nothing of a cell itself.
    void GrDrawCell(QPainter &p, int columna, int fila, const QRect &celda, const QString &t) const;
    void CopiarClick();
    void CerrarClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();

    worksheet::Sheet m_hoja;
    SheetModel *m_modelo = nullptr;
};

// Builds the worksheet of the current selection and result under the progress window and
// shows it modally; a cancelled build shows nothing. The flower rows are named by the result's
// field `campoNombre`. Afterwards the symptom list leads the link view, whatever led it
// before. A press that arrives while a build lets events through is ignored.
void PlanRepClick(Catalogue &catalogue, const QString &campoNombre, QWidget *padre);
