#include "tflogo.h"
#include "ui_tflogo.h"

#include "ui/controlcolours.h"
#include "ui/logoartwork.h"
#include "ui/messagetext.h"
#include "ui/screencentring.h"

#include <QCoreApplication>
#include <QPainter>

TFLogo::TFLogo(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_ui(std::make_unique<Ui::TFLogo>())
    , m_logo(drawLogo())
{
    m_ui->setupUi(this);
    setWindowTitle(QLatin1String(kAppTitle));
    // The margin round the logo shows the colour its gradient fades into.
    paintBackground(this, QPalette::Window, kActiveCaptionGradient);
    centreOnScreen(*this);
}

TFLogo::~TFLogo() = default;

void TFLogo::showAndPaint()
{
    show();
    raise();
    // Let the window system map it, then paint before the caller goes on with slow work.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TFLogo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPoint offset((width() - m_logo.width()) / 2, (height() - m_logo.height()) / 2);
    painter.drawImage(offset, m_logo);
}
