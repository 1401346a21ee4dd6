#pragma once

#include <QWidget>

// The progress bar's black frame, sunk by two pixels, with the percentage scale written across
// it; the bar itself is a child that grows over the scale.
class BarFrame : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};
