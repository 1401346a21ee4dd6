#include "messageboxes.h"
#include "screencentring.h"

#include "messagetext.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {

DialogSeam *activeSeam = nullptr;

constexpr int kQuestionWidth = 220;
constexpr int kLabelPadding = 30;       // label height beyond its wrapped text
constexpr int kButtonArea = 50;         // client height below the label
constexpr int kButtonRaise = 37;        // button top, up from the bottom edge
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 25;

QPushButton *addButton(QDialog &box, const char *name, const QString &caption,
                       QStyle::StandardPixmap glyph, int left, int top)
{
    auto *button = new QPushButton(box.style()->standardIcon(glyph), caption, &box);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, top, kButtonWidth, kButtonHeight);
    return button;
}


} // namespace

bool Confirmar(const QString &question)
{
    if (DialogSeam *seam = DialogSeam::active())
        return seam->ask(question);

    QDialog box;
    box.setObjectName(QStringLiteral("Confirmar"));
    box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                       | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setWindowTitle(QLatin1String(kAppTitle));

    auto *label = new QLabel(&box);
    label->setObjectName(QStringLiteral("question"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setText(displayText(question));
    const int labelHeight = label->heightForWidth(kQuestionWidth) + kLabelPadding;
    label->setGeometry(0, 0, kQuestionWidth, labelHeight);

    const int clientHeight = labelHeight + kButtonArea;
    box.setFixedSize(kQuestionWidth, clientHeight);

    const int buttonTop = clientHeight - kButtonRaise;
    QPushButton *yes = addButton(box, "Si", QStringLiteral("&Si"), QStyle::SP_DialogYesButton,
                                 40, buttonTop);
    QPushButton *no = addButton(box, "No", QStringLiteral("&No"), QStyle::SP_DialogNoButton,
                                130, buttonTop);
    yes->setDefault(true);
    yes->setFocus();
    QObject::connect(yes, &QPushButton::clicked, &box, &QDialog::accept);
    QObject::connect(no, &QPushButton::clicked, &box, &QDialog::reject);

    centreOnScreen(box);
    return box.exec() == QDialog::Accepted;
}

void Aviso(const QString &texto)
{
    if (DialogSeam *seam = DialogSeam::active()) {
        seam->record("Aviso", texto);
        return;
    }
    showMessageBox(QMessageBox::NoIcon, QStringLiteral("Aviso"), texto);
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

DialogSeam::DialogSeam()
{
    if (activeSeam)
        qFatal("DialogSeam: only one may be active at a time");
    activeSeam = this;
}

DialogSeam::~DialogSeam()
{
    if (!m_answers.isEmpty())
        qWarning("DialogSeam: %lld queued answer(s) never asked for",
                 static_cast<long long>(m_answers.size()));
    activeSeam = nullptr;
}

void DialogSeam::answer(std::initializer_list<bool> answers)
{
    m_answers.append(QList<bool>(answers));
}

DialogSeam *DialogSeam::active()
{
    return activeSeam;
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
