#include "questionbox.h"
#include "ui_questionbox.h"

#include "messagetext.h"

#include <QStyle>

namespace {
constexpr int kLabelPadding = 30; // label height beyond its wrapped text
constexpr int kButtonArea = 50;   // client height below the label
constexpr int kButtonRaise = 37;  // button top, up from the bottom edge
} // namespace

QuestionBox::QuestionBox(const QString &question, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::QuestionBox>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QLatin1String(kAppTitle));

    // The form gives the width; the wrapped question sets the height.
    QLabel *label = m_ui->question;
    label->setText(displayText(question));
    // A screen reader lands on "&Si" first: the question is said with the box and with each answer.
    for (QWidget *w : std::initializer_list<QWidget *>{this, m_ui->Si, m_ui->No})
        w->setAccessibleDescription(label->text());
    const int width = label->width();
    const int labelHeight = label->heightForWidth(width) + kLabelPadding;
    label->resize(width, labelHeight);
    const int clientHeight = labelHeight + kButtonArea;
    setFixedSize(width, clientHeight);

    m_ui->Si->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    m_ui->No->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    for (QPushButton *button : {m_ui->Si, m_ui->No})
        button->move(button->x(), clientHeight - kButtonRaise);
    m_ui->Si->setFocus();
    connect(m_ui->Si, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->No, &QPushButton::clicked, this, &QDialog::reject);
}

QuestionBox::~QuestionBox() = default;
