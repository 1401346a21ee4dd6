#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <csv.h>

#include <deque>
#include <memory>

namespace tabletool {

class InputFile;

struct CsvRow
{
    int line = 0; // where the row begins, counting from 1
    QStringList fields;
};

// Reads an RFC 4180 file row by row: UTF-8 with or without a byte order mark, CRLF, LF or CR,
// quoted fields that hold commas, doubled quotes and line breaks. Blanks around fields are
// data. Blank lines are skipped. Faults throw CsvError naming the file and the row's line:
// bytes that are not UTF-8, quotes out of place, a field larger than kMaxFieldBytes.
class CsvReader
{
public:
    static constexpr qsizetype kMaxFieldBytes = 64 * 1024 * 1024;

    // `name` is how messages call the file. Only a regular file is read.
    CsvReader(const QString &path, const QString &name);
    // The same rules over bytes already in memory.
    CsvReader(const QByteArray &data, const QString &name);
    ~CsvReader();
    CsvReader(const CsvReader &) = delete;
    CsvReader &operator=(const CsvReader &) = delete;

    // The next row; false at the end of the file.
    bool next(CsvRow &row);

    const QString &name() const { return m_name; }

private:
    void startParser();
    static void onField(void *data, size_t bytes, void *reader);
    static void onEndOfLine(int character, void *reader);
    void readBlock();
    void keepFault(const QString &reason);
    [[noreturn]] void fail(int line, const QString &reason) const;

    std::unique_ptr<InputFile> m_file;
    QByteArray m_memory;
    qsizetype m_memoryRead = 0;
    QString m_name;
    csv_parser m_parser{};
    bool m_parserReady = false;
    bool m_finished = false;
    bool m_firstBlock = true;

    std::deque<CsvRow> m_rows;
    QStringList m_fields;
    int m_line = 1;         // line of the next character to come
    int m_rowStart = 1;     // line where the row being read began
    bool m_afterCr = false; // the last thing seen was a CR ending a line
    int m_errorLine = 0;    // a fault found inside a callback, reported after the rows before it
    QString m_errorReason;
};

} // namespace tabletool
