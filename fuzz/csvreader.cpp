// The CSV reader over any bytes: it must never crash, hang or read out of bounds, every fault
// must be a CsvError with a line inside the input, and whatever it reads must come back the
// same after being written out again the way the export writes it.
#include "csvreader.h"
#include "csvwriter.h"
#include "tabletool.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::vector<tabletool::CsvRow> readAll(const QByteArray &data, bool &failed)
{
    std::vector<tabletool::CsvRow> rows;
    failed = false;
    try {
        tabletool::CsvReader reader(data, QStringLiteral("x.csv"));
        tabletool::CsvRow row;
        while (reader.next(row))
            rows.push_back(row);
    } catch (const tabletool::CsvError &e) {
        if (e.line() < 1 || e.line() > data.count('\n') + data.count('\r') + 1)
            std::abort();
        failed = true;
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    bool failed = false;
    const std::vector<tabletool::CsvRow> rows = readAll(data, failed);
    if (failed)
        return 0;

    QByteArray written;
    for (const tabletool::CsvRow &row : rows)
        tabletool::appendRow(written, row.fields);
    bool failedAgain = false;
    const std::vector<tabletool::CsvRow> again = readAll(written, failedAgain);
    if (failedAgain || again.size() != rows.size())
        std::abort();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (again[i].fields != rows[i].fields)
            std::abort();
    return 0;
}
