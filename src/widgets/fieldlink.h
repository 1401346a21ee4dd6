#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
namespace store {
class DataSource;
}

// Binds one field of a data source's current row to an edit box, a memo or a picture label:
// shows the field, keeps showing it as the row changes, and, for the two text controls, takes
// the user's changes. A text control accepts typing only while its source may change the row
// (auto-edit on, or the row already being edited or inserted); the first change puts a row
// being browsed into editing, and the text reaches the row when the view asks its controls to
// hand over, before a post.
class FieldLink : public QObject
{
    Q_OBJECT
public:
    FieldLink(QWidget *control, store::DataSource *source, const QString &field);

    QWidget *control() const { return m_control; }
    const QString &field() const { return m_field; }

    // Shows the field's value of the current row again, dropping what was typed.
    void refresh();

private:
    void edited();
    void handOver();
    void updateReadOnly();
    QString shownText() const;

    QPointer<QWidget> m_control;
    store::DataSource *m_source;
    QString m_field;
    bool m_typed = false; // the control holds a change the row has not taken yet
};
