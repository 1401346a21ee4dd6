#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

class Catalogue;
namespace store {
class Table;
class View;
}

// The repertorisation worksheet as plain data: building it from the selection and the result,
// ordering its rows by weighted score, its text form and its column widths.
namespace worksheet {

inline constexpr int kColumnWidth = 24;
inline constexpr int kRowHeight = 20;
// Column 0 is this much wider than its longest flower name.
inline constexpr int kNameMargin = 10;
// The references are never narrower than three of the worksheet's buttons.
inline constexpr int kButtonWidth = 74;
inline constexpr int kMinimumReferencesWidth = 3 * kButtonWidth;

// One row per result flower, one column per chosen symptom, a mark where they are linked.
// Marks are few next to the cells, so each row keeps the list of its marked columns.
struct Sheet
{
    QStringList references;     // "k: text" for symptom column k, in column order
    std::vector<QString> names; // by row: the flower's name
    std::vector<int> counts;    // by row: its count
    // The marked columns (counted from 0) of every row, ascending within a row, row after row;
    // row r's run from rowStart[r] to rowStart[r + 1].
    std::vector<int> marks;
    std::vector<int> rowStart{0};

    int rows() const { return int(names.size()); }
    int symptoms() const { return int(references.size()); }
    std::span<const int> marked(int row) const
    {
        return {marks.data() + rowStart[std::size_t(row)],
                std::size_t(rowStart[std::size_t(row) + 1] - rowStart[std::size_t(row)])};
    }
    bool isMarked(int row, int symptom) const;
    // Appends a row marked in the given columns, ascending.
    void addRow(QString name, int count, std::span<const int> markedColumns);

    // The text of a cell of the grid: row 0 holds "C" and the symptom numbers, column 0 the
    // names, column 1 the counts, the other cells "X" or nothing.
    QString cellText(int row, int column) const;
    // What a screen reader says of the same cell. A mark is read as the symptom it stands for
    // ("3: Insomnio"), so that going along a flower's row tells what it covers without having
    // to hear the column's number and look it up among the references; an empty cell says
    // nothing. Row 0 names the columns in words.
    QString spokenText(int row, int column) const;
};

// The links of the chosen symptoms, grouped by flower. Read from the link table's symptom
// index, so the work follows the links of the chosen symptoms, not the size of the table.
class LinksByFlower
{
public:
    LinksByFlower(const store::Table &rel, const std::vector<qint32> &symptoms);
    // The symptom columns (positions in `symptoms`) linked to the flower, ascending.
    std::span<const int> columnsOf(qint32 flower) const;

private:
    // Each flower's columns in one run; where a flower's run starts is found through a table
    // by key when the keys lie close together, otherwise by halving the sorted keys.
    std::vector<int> m_columns;
    std::vector<int> m_startByKey; // by key - m_lowestKey, one more at the end
    qint32 m_lowestKey = 0;
    std::vector<qint32> m_flowers; // sorted, one per link, when there is no table by key
};

// The selection's symptom keys and reference lines, in the selection's order.
struct SelectedSymptoms
{
    std::vector<qint32> keys;
    QStringList references;
};
SelectedSymptoms readSymptoms(const Catalogue &catalogue);

// One text field of the rows of a view's table, by primary key, as a lookup through the view
// reads it: empty for a key without a row or a row that the view does not let through.
class TextByKey
{
public:
    // `lookups`: about how many keys will be asked for.
    TextByKey(const store::View &view, const QString &field, int lookups);
    QString text(qint32 key) const;

private:
    static constexpr quint32 kNoRow = 0xFFFFFFFFu;
    const store::View &m_view;
    int m_field;
    qint32 m_lowestKey = 0;
    std::vector<quint32> m_rowByKey; // by key - m_lowestKey, when that pays
};

// Reads the result into a sheet one flower row at a time, in the result's order, without
// moving any cursor. The flower's name is the field `nameField` of the result.
class SheetReader
{
public:
    SheetReader(const Catalogue &catalogue, const QString &nameField);
    int rowsToRead() const { return m_total; }
    void readRow(int row);
    Sheet takeSheet() { return std::move(m_sheet); }

private:
    QString flowerName(int row, qint32 flower) const;

    const Catalogue &m_catalogue;
    SelectedSymptoms m_symptoms;
    LinksByFlower m_links;
    TextByKey m_names;
    Sheet m_sheet;
    int m_total = 0;
    int m_keyField = -1;
    int m_countField = -1;
    int m_nameField = -1;       // in the result, for names that are no flower field
    int m_flowerNameField = -1; // the same field in the flower table
};

// The whole sheet at once, as the worksheet shows it before ordering.
Sheet buildSheet(const Catalogue &catalogue, const QString &nameField);

// By symptom column: how many result flowers lack the symptom.
std::vector<int> weights(const Sheet &sheet);
// By row: the weights of the symptoms that the flower has.
std::vector<int> scores(const Sheet &sheet, const std::vector<int> &weights);
// The rows by descending score; equal scores keep their order.
std::vector<int> orderByScore(const std::vector<int> &scores);
// Reorders the rows of the sheet by weighted score.
void OrdenarPorPuntaje(Sheet &sheet);

// The sheet as a text drawing: a staircase of symptom texts over columns of marks, then one
// line per flower with its count and name. Lines end in CR LF.
QString copyText(const QStringList &references, const Sheet &sheet);

// The widest of the texts in the font, in whole pixels as the font's metrics give each one.
int widestText(const std::vector<QString> &texts, const QFont &font);

// The references' width: what the grid's columns (each with its one-pixel line) leave of the
// window, less a margin, and never less than three buttons.
int referencesWidth(int clientWidth, std::span<const int> columnWidths);

} // namespace worksheet
