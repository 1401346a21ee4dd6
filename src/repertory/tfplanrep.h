#pragma once

#include "worksheet.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TFPlanRep;
}
class Catalogue;
class QPainter;
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
    const worksheet::Sheet &sheet() const { return m_sheet; }
    // The patient offered when the sheet is printed; empty for none.
    void setPatient(const QString &name) { m_patient = name; }

    // Draws one cell of Gr; the grid paints nothing of a cell itself.
    void GrDrawCell(QPainter &p, int column, int row, const QRect &cell, const QString &t) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void OrdenarPorPuntaje();
    void AjustarColumnas();
    void ColoresPlanilla();
    void LetraPlanilla();
    void CopiarClick();
    void printClick();
    void CerrarClick();

    std::unique_ptr<Ui::TFPlanRep> m_ui;
    worksheet::Sheet m_sheet;
    SheetModel *m_model = nullptr;
    QString m_patient;
};

// Builds the worksheet of the current selection and result under the progress window and
// shows it modally; a cancelled build shows nothing. The flower rows are named by the result's
// field `nameField`. Afterwards the symptom list leads the link view, whatever led it before.
// A press that arrives while a build lets events through is ignored. `patient` is offered when
// the sheet is printed.
void PlanRepClick(Catalogue &catalogue, const QString &nameField, QWidget *parent, const QString &patient = {});
