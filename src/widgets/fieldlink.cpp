#include "fieldlink.h"

#include "store/datasource.h"
#include "store/view.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSignalBlocker>

FieldLink::FieldLink(QWidget *control, store::DataSource *source, const QString &field)
    : QObject(control), m_control(control), m_source(source), m_field(field)
{
    for (auto signal : {&store::DataSource::currentChanged, &store::DataSource::layoutChanged,
                        &store::DataSource::valuesChanged, &store::DataSource::stateChanged})
        connect(source, signal, this, &FieldLink::refresh);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setReadOnly(true);
    if (auto *memo = qobject_cast<QPlainTextEdit *>(control))
        memo->setReadOnly(true);
    refresh();
}

void FieldLink::refresh()
{
    if (!m_control)
        return;
    store::View *view = m_source->view();
    const bool hasRow = view->isOpen() && view->currentSlotOrInsert();
    const QVariant value = hasRow ? view->value(m_field) : QVariant();
    const QSignalBlocker block(m_control);
    if (auto *edit = qobject_cast<QLineEdit *>(m_control)) {
        edit->setText(value.toString());
        edit->setCursorPosition(0);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(m_control)) {
        if (memo->toPlainText() != value.toString())
            memo->setPlainText(value.toString());
    } else if (auto *label = qobject_cast<QLabel *>(m_control)) {
        const QByteArray bytes = value.toByteArray();
        QImage picture;
        if (!bytes.isEmpty())
            picture.loadFromData(bytes);
        label->setPixmap(QPixmap::fromImage(picture));
    }
}
