#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class QuestionBox;
}

// The box of Confirmar: the question over the buttons "&Si" and "&No", 220 pixels wide and as
// high as the wrapped question needs. Accepted only through "&Si".
class QuestionBox : public QDialog
{
    Q_OBJECT
public:
    explicit QuestionBox(const QString &question, QWidget *parent = nullptr);
    ~QuestionBox() override;

private:
    std::unique_ptr<Ui::QuestionBox> m_ui;
};
