#include "messageboxes.h"

#include "messagetext.h"
#include "questionbox.h"
#include "screencentring.h"

#include <QPushButton>

bool Confirmar(const QString &question)
{
    if (DialogSeam *seam = DialogSeam::active())
        return seam->ask(question);
    QuestionBox box(question);
    centreOnScreen(box);
    return box.exec() == QDialog::Accepted;
}

void Aviso(const QString &text)
{
    if (DialogSeam *seam = DialogSeam::active()) {
        seam->record("Aviso", text);
        return;
    }
    showMessageBox(QMessageBox::NoIcon, QStringLiteral("Aviso"), text);
}

void showMessageBox(QMessageBox::Icon icon, const QString &objectName, const QString &text)
{
    QMessageBox box(icon, QLatin1String(kAppTitle), displayText(text), QMessageBox::Ok);
    box.setObjectName(objectName);
    box.setTextFormat(Qt::PlainText);
    // The caption stays "OK" whatever translation of the toolkit is installed.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.show();
    centreOnScreen(box);
    box.exec();
}

void DialogSeam::answer(std::initializer_list<bool> answers)
{
    m_answers.append(QList<bool>(answers));
}

bool DialogSeam::ask(const QString &question)
{
    record("Confirmar", question);
    if (m_answers.isEmpty())
        qFatal("DialogSeam: no answer queued for the question \"%s\"", qUtf8Printable(question));
    return m_answers.takeFirst();
}

void DialogSeam::record(const char *kind, const QString &text)
{
    m_log.append(QLatin1String(kind) + QLatin1String(": ") + text);
}
