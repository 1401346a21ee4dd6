#pragma once

#include <QDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <memory>

namespace Ui {
class PrintChoices;
}

// What the user asked for before anything is printed.
struct PrintRequest
{
    enum class Action { Preview, Print, SavePdf };
    Action action = Action::Print;
    QString patient; // printed at the head of every page when not empty
    QPageSize::PageSizeId paper = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

// The small window in front of printing: the patient's name, the paper and its orientation,
// and whether to preview, print or save as PDF.
class PrintChoices : public QDialog
{
    Q_OBJECT
public:
    // Opens with the choices of `offered`.
    explicit PrintChoices(const PrintRequest &offered, QWidget *parent = nullptr);
    ~PrintChoices() override;

    // The choices as they stand, with the action of the button that closed the window.
    PrintRequest request() const;

private:
    void finish(PrintRequest::Action action);

    std::unique_ptr<Ui::PrintChoices> m_ui;
    PrintRequest::Action m_action = PrintRequest::Action::Print;
};
