#include "windowdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <ctime>

namespace {

// Events posted while an event runs (a deferred write, a layout request) are handled on the
// next pass; three passes leave nothing behind.
void runPending()
{
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double threadProcessorMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Catches the showing of a modal window, repaints it at once from its own event loop, notes
// the time and closes it.
class ModalCatcher : public QObject
{
public:
    ModalCatcher(const char *modalClass, const QElapsedTimer &timer) : m_class(modalClass), m_timer(timer) { }
    double ms = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && watched->inherits(m_class)) {
            QPointer<QWidget> modal = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, this, [this, modal] {
                if (!modal)
                    return;
                modal->repaint();
                ms = elapsedMs(m_timer);
                modal->close();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const char *m_class;
    const QElapsedTimer &m_timer;
};

} // namespace

void WindowDriver::settle()
{
    runPending();
}

double WindowDriver::timed(const std::function<void()> &post)
{
    const double work = threadProcessorMs();
    QElapsedTimer timer;
    timer.start();
    post();
    runPending();
    m_window.repaint();
    const double ms = elapsedMs(timer);
    m_workMs = threadProcessorMs() - work;
    settle();
    return ms;
}

double WindowDriver::click(QAbstractButton *button)
{
    return timed([button] { postClick(button); });
}

double WindowDriver::key(QWidget *target, int key, const QString &text)
{
    return timed([&] { postKey(target, key, text); });
}

double WindowDriver::clickIntoModal(QAbstractButton *button, const char *modalClass)
{
    QElapsedTimer timer;
    ModalCatcher catcher(modalClass, timer);
    qApp->installEventFilter(&catcher);
    const double work = threadProcessorMs();
    timer.start();
    postClick(button);
    runPending(); // the modal window runs its own loop in here, and is closed in it
    // Up to the close, which takes little beside the sheet's building and painting.
    m_workMs = threadProcessorMs() - work;
    qApp->removeEventFilter(&catcher);
    settle();
    return catcher.ms;
}

void WindowDriver::postClick(QWidget *target)
{
    const QPointF local = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(local);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(target, new QMouseEvent(type, local, global, Qt::LeftButton,
                                                             type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                              : Qt::NoButton,
                                                             Qt::NoModifier));
}

void WindowDriver::postKey(QWidget *target, int key, const QString &text)
{
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}
