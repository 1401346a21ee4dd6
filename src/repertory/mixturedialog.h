#pragma once

#include "mixturesuggestion.h"
#include "worksheet.h"

#include <QDialog>

#include <memory>

namespace Ui {
class MixtureDialog;
}

// The mixture suggestion for the processed case: the fewest flowers, at most as many as the
// user allows, that cover the most selected symptoms, and what covers each symptom.
class MixtureDialog : public QDialog
{
    Q_OBJECT
public:
    // `sheet` holds the result's flowers in the result's order against the selected symptoms.
    explicit MixtureDialog(worksheet::Sheet sheet, QWidget *parent = nullptr);
    ~MixtureDialog() override;

    const repertory::MixtureSuggestion &suggestion() const { return m_suggestion; }

private:
    void suggest();
    void copyClick();

    std::unique_ptr<Ui::MixtureDialog> m_ui;
    worksheet::Sheet m_sheet;
    std::vector<repertory::MixtureCandidate> m_candidates;
    repertory::MixtureSuggestion m_suggestion;
};
