#pragma once

#include "testseam.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <initializer_list>

// Asks a yes/no question in a small box of its own with the buttons "&Si" and "&No". True only
// for "&Si"; Escape and the close box answer no. A lone carriage return starts a new line.
bool Confirmar(const QString &question);

// A plain notice with one "OK" button; returns when the box is closed.
void Aviso(const QString &text);

// The toolkit's standard box with the application's title, the given icon and one "OK" button,
// centred on the screen; returns when it is closed. Aviso and the error box are this box.
void showMessageBox(QMessageBox::Icon icon, const QString &objectName, const QString &text);

// Test hook. While a DialogSeam exists, Confirmar, Aviso and showError show no window:
// questions take their answers from a queue filled beforehand, and every box is recorded in
// order as "Confirmar: <text>", "Aviso: <text>" or "Error: <text as the error box shows it>".
// A question with no answer queued aborts the run, so a test cannot pass by accident.
class DialogSeam : public TestSeam<DialogSeam>
{
public:
    static constexpr char kName[] = "DialogSeam";
    ~DialogSeam() { reportUnused(m_answers.size()); }

    // Queues answers to the next questions, in order.
    void answer(std::initializer_list<bool> answers);
    const QStringList &log() const { return m_log; }

    bool ask(const QString &question);
    void record(const char *kind, const QString &text);

private:
    QList<bool> m_answers;
    QStringList m_log;
};
