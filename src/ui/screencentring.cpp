#include "screencentring.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget &window)
{
    const QWidget *active = QApplication::activeWindow();
    const QScreen *screen = active ? active->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect client(QPoint(), window.size());
    client.moveCenter(screen->availableGeometry().center());
    window.setGeometry(client);
}
