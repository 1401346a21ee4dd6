#pragma once

#include <QWidget>

// A panel with a raised edge and, a border's width inside it, a lowered bevel: the two halves
// of the progress window.
class BevelledPanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};
