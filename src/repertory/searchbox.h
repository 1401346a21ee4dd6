#pragma once

#include "symptomsearch.h"

#include <QObject>
#include <QStringList>

#include <memory>

class Catalogue;
class QButtonGroup;
class QLineEdit;

// The search box of the symptoms page: it narrows the symptom list as the text changes, or in
// the first mode only moves to the nearest name, and reports how many symptoms show.
class SearchBox : public QObject
{
    Q_OBJECT
public:
    SearchBox(Catalogue &catalogue, QLineEdit *Ed, QButtonGroup *RGBus, QObject *parent = nullptr);
    ~SearchBox() override;

    void EdChange();
    void RGBusClick();
    // The per-row test of the symptom view while a narrowing search is on.
    bool TSintFilterRecord(store::Slot row) const;

    const QStringList &words() const { return Palabras; }

signals:
    // The symptom list shows `count` symptoms after a search.
    void searchApplied(int count);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int mode() const;
    search::NameIndex &nameIndex();

    Catalogue &m_catalogue;
    QLineEdit *m_edit;
    QButtonGroup *m_modes;
    QStringList Palabras;
    std::unique_ptr<search::NameIndex> m_index;
    bool m_passingOn = false; // an event handed on to its control by the filter itself
};
