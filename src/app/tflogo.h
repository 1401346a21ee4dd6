#pragma once

#include <QImage>
#include <QWidget>

#include <memory>

namespace Ui {
class TFLogo;
}

// The splash window: the logo on a borderless window centred on the screen, shown while the
// main window is built and again for a moment when the application ends.
class TFLogo : public QWidget
{
    Q_OBJECT
public:
    explicit TFLogo(QWidget *parent = nullptr);
    ~TFLogo() override;

    // Shows the window and paints it now, before the event loop gets a chance to.
    void showAndPaint();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<Ui::TFLogo> m_ui;
    QImage m_logo;
};
