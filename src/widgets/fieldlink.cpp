#include "fieldlink.h"

#include "store/datasource.h"
#include "store/view.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSignalBlocker>

FieldLink::FieldLink(QWidget *control, store::DataSource *source, const QString &field)
    : QObject(control), m_control(control), m_source(source), m_field(field)
{
    connect(source, &store::DataSource::currentChanged, this, &FieldLink::refresh);
    connect(source, &store::DataSource::layoutChanged, this, &FieldLink::refresh);
    connect(source, &store::DataSource::stateChanged, this, [this] {
        // A post or a cancel ends what was typed: the row now shows what it holds.
        const store::State state = m_source->view()->state();
        if (state != store::State::Edit && state != store::State::Insert)
            refresh();
        updateReadOnly();
    });
    connect(source, &store::DataSource::valuesChanged, this, [this] {
        if (!m_typed)
            refresh();
    });
    connect(source, &store::DataSource::updateRecordRequested, this, &FieldLink::handOver);
    connect(source, &store::DataSource::autoEditChanged, this, &FieldLink::updateReadOnly);
    if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        connect(edit, &QLineEdit::textEdited, this, &FieldLink::edited);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        connect(memo, &QPlainTextEdit::textChanged, this, &FieldLink::edited);
    }
    refresh();
}

void FieldLink::refresh()
{
    if (!m_control)
        return;
    m_typed = false;
    store::View *view = m_source->view();
    const bool hasRow = view->isOpen() && view->currentSlotOrInsert();
    const QVariant value = hasRow ? view->value(m_field) : QVariant();
    const QSignalBlocker block(m_control);
    if (auto *edit = qobject_cast<QLineEdit *>(m_control)) {
        // Field widths hold the edit box to what the table keeps.
        if (view->isOpen() && view->fieldNumber(m_field) >= 0) {
            const int size = view->fieldDef(view->fieldNumber(m_field)).size;
            edit->setMaxLength(size > 0 ? size : 32767);
        }
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
    updateReadOnly();
}

void FieldLink::edited()
{
    // Refused changes never reach the row: the control shows the row again.
    if (!m_source->view()->isOpen() || !m_source->edit()) {
        refresh();
        QApplication::beep();
        return;
    }
    m_typed = true;
}

void FieldLink::handOver()
{
    if (!m_typed || !m_control)
        return;
    store::View *view = m_source->view();
    const store::State state = view->state();
    if (state != store::State::Edit && state != store::State::Insert)
        return;
    view->setValue(m_field, shownText());
    m_typed = false;
}

QString FieldLink::shownText() const
{
    if (auto *edit = qobject_cast<QLineEdit *>(m_control))
        return edit->text();
    if (auto *memo = qobject_cast<QPlainTextEdit *>(m_control))
        return memo->toPlainText();
    return {};
}

void FieldLink::updateReadOnly()
{
    if (!m_control)
        return;
    const store::View *view = m_source->view();
    const store::State state = view->state();
    const bool changing = state == store::State::Edit || state == store::State::Insert;
    const bool writable = view->isOpen() && (changing || (m_source->autoEdit() && view->currentSlot()));
    if (auto *edit = qobject_cast<QLineEdit *>(m_control))
        edit->setReadOnly(!writable);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(m_control))
        memo->setReadOnly(!writable);
}
