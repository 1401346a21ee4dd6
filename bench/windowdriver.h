#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;

// Drives a window as the user does, through posted input events, and times each action from
// the moment its events are posted to the end of the repaint that it causes: the handler runs,
// then everything it left pending, then the window is repainted at once instead of at the next
// frame.
class WindowDriver
{
public:
    explicit WindowDriver(QWidget &window) : m_window(window) { }

    template<typename T = QWidget>
    T *control(const char *name) const
    {
        T *found = m_window.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("the window has no control %s of the expected kind", name);
        return found;
    }

    // Lets everything pending run, untimed.
    static void settle();

    // Milliseconds from posting the events to the end of the window's repaint.
    double timed(const std::function<void()> &post);
    double click(QAbstractButton *button);
    double key(QWidget *target, int key, const QString &text = QString());

    // A click that opens a modal window of the class `modalClass`: milliseconds from the click
    // to the end of the modal window's first repaint, which follows its showing at once. The
    // modal window is then closed.
    double clickIntoModal(QAbstractButton *button, const char *modalClass);

    static void postClick(QWidget *target);
    static void postKey(QWidget *target, int key, const QString &text);

    // The processor time of the window's thread in the last timed action: on a busy machine the
    // clock's time is mostly waiting for a processor, this is the work itself.
    double lastWorkMs() const { return m_workMs; }

private:
    QWidget &m_window;
    double m_workMs = 0;
};
