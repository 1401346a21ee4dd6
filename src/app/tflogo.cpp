#include "tflogo.h"

#include "logo.h"
#include "messagetext.h"

#include <QCoreApplication>
#include <QPainter>
#include <QScreen>

namespace {
constexpr QSize kClientSize(343, 228);
}

TFLogo::TFLogo(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_logo(dibujarLogo())
{
    setObjectName(QStringLiteral("TFLogo"));
    setWindowTitle(QLatin1String(kAppTitle));
    setFixedSize(kClientSize);

    QPalette background = palette();
    background.setColor(QPalette::Window, kActiveCaptionGradient);
    setPalette(background);
    setAutoFillBackground(true);

    QRect client(QPoint(), kClientSize);
    client.moveCenter(screen()->availableGeometry().center());
    setGeometry(client);
}

void TFLogo::mostrarYPintar()
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
