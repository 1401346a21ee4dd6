#include "tflogo.h"

#include "ui/logoartwork.h"
#include "ui/messagetext.h"
#include "ui/screencentring.h"

#include <QCoreApplication>
#include <QPainter>
#include <QScreen>

namespace {
constexpr QSize kClientSize(343, 228);
}

TFLogo::TFLogo(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_logo(drawLogo())
{
    setObjectName(QStringLiteral("TFLogo"));
    setWindowTitle(QLatin1String(kAppTitle));
    setFixedSize(kClientSize);

    QPalette background = palette();
    background.setColor(QPalette::Window, kActiveCaptionGradient);
    setPalette(background);
    setAutoFillBackground(true);

    centreOnScreen(*this);
}

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
