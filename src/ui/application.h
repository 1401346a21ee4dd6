#pragma once

#include <QApplication>

#include <exception>

// Thrown to end an operation without a word: the application goes on and no box shows.
class SilentAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "SilentAbort"; }
};

// The error box: the application's title, a stop icon, one "OK" button and the message with
// its closing full stop. For code that catches an error itself and still reports it.
void showError(const QString &message);

// The application object. An exception that leaves any event handler is shown in the error
// box and the application waits for the next event instead of ending.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
