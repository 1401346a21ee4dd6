// The companion application's patient file of any bytes: reading it must never crash, read
// more than its first bytes or lose its lines; what is understood is the number of the first
// line and the name of the second, which write back to a file that reads the same.
#include "fuzzfile.h"
#include "repertory/selectionfiles.h"
#include "store/codepage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<repertory::Patient> read = repertory::readPatient(QFile::decodeName(fuzzFile("Usuario.$$$", bytes)));
    const std::optional<repertory::Patient> parsed = repertory::parsePatient(bytes.left(repertory::kPatientFileBytes));
    if (bool(read) != bool(parsed) || (read && (read->number != parsed->number || read->name != parsed->name)))
        std::abort();
    if (!read)
        return 0;
    if (read->name.contains(u'\r') || read->name.contains(u'\n'))
        std::abort();
    // The patient's own file name is made of the number.
    if (!repertory::patientPath(read->number).contains(QStringLiteral("{%1}").arg(read->number)))
        std::abort();
    if (codepage::firstOutside(read->name) >= 0)
        return 0;
    const QByteArray again = QByteArray::number(read->number) + "\r\n" + codepage::toWindows1252(read->name, '?') + "\r\n";
    const std::optional<repertory::Patient> back = repertory::parsePatient(again);
    if (!back || back->number != read->number || back->name != read->name)
        std::abort();
    return 0;
}
