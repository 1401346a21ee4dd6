#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
namespace store {
class DataSource;
}

// Shows one field of a data source's current row in an edit box, a memo or a picture label,
// and keeps showing it as the row changes.
class FieldLink : public QObject
{
    Q_OBJECT
public:
    FieldLink(QWidget *control, store::DataSource *source, const QString &field);

    QWidget *control() const { return m_control; }
    const QString &field() const { return m_field; }

    // Shows the field's value of the current row again.
    void refresh();

private:
    QPointer<QWidget> m_control;
    store::DataSource *m_source;
    QString m_field;
};
