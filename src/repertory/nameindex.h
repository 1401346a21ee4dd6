#pragma once

#include "store/table.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <vector>

namespace search {

// The folded names of every symptom in one buffer that follows the table's changes, so that a
// search is a few passes of a substring scan instead of one fold per symptom. Its results are
// exactly those of nameMatches.
class NameIndex : public QObject
{
    Q_OBJECT
public:
    NameIndex(store::Table &symptoms, const QString &field, QObject *parent = nullptr);

    // The rows whose names pass, in no particular order. Modes other than 1 to 3 pass all.
    std::vector<store::Slot> find(int mode, const QStringList &typedWords, const QString &typedText);

    // The buffer of folded names, for measuring a bare scan against the search.
    const QByteArray &buffer() const { return m_buffer; }

private:
    struct Entry
    {
        quint32 start;
        quint32 length;
        store::Slot row;
    };
    struct Query
    {
        int mode = -1;
        QStringList words;
        QString text;
        std::vector<store::Slot> result;
    };
    // The rows that hold each word of the last search: the next keystroke mostly repeats or
    // lengthens them, and a longer word is found only among the rows of its beginning.
    struct Occurrences
    {
        QByteArray word;
        std::vector<store::Slot> rows;
    };

    void rebuild();
    void add(store::Slot s);
    void remove(store::Slot s);
    void forgetQuery()
    {
        m_last.mode = -1;
        m_occurrences.clear();
    }
    bool narrows(int mode, const QStringList &words, const QString &text) const;
    std::vector<store::Slot> scan(const QByteArray &word);
    // The rows holding a word, from the last search's rows where it can.
    const std::vector<store::Slot> &rowsWith(const QByteArray &word, std::vector<Occurrences> &found);
    void remember(std::vector<Occurrences> &&found);
    bool holds(store::Slot s, const QByteArray &word) const;
    std::vector<store::Slot> filter(int mode, const std::vector<QByteArray> &words,
                                    const std::vector<store::Slot> &candidates) const;

    store::Table &m_table;
    int m_field;
    QByteArray m_buffer;           // every name folded, each ended by a zero byte
    std::vector<Entry> m_entries;  // by position in the buffer
    std::vector<qint64> m_entryOf; // entry of each row, -1 when it has none
    std::size_t m_deadBytes = 0;   // bytes of names replaced or removed
    Query m_last;
    std::vector<Occurrences> m_occurrences;
};

} // namespace search
