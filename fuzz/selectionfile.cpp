// A stored selection of any bytes, read as the program reads one: it must never crash or read
// out of bounds; whole 4-byte records come back as the keys, trailing bytes are dropped, and
// what goes into the selection holds each key once, in the file's order.
#include "fuzzfile.h"
#include "repertory/selectionfiles.h"
#include "store/regularfile.h"

#include <cstdint>
#include <cstdlib>
#include <unordered_set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const repertory::KeysRead read = repertory::readKeys(fuzzFile("caso.Dat", bytes));
    if (!read.error.isEmpty() || read.missing || read.keys.size() != size / 4)
        std::abort();
    if (repertory::encodeKeys(read.keys) != bytes.left(qsizetype(size / 4 * 4)))
        std::abort();

    // Symptoms whose key is a multiple of three no longer exist.
    const auto exists = [](qint32 key) { return key % 3 != 0; };
    const repertory::KeysToLoad toLoad = repertory::keysToLoad(read.keys, exists);
    std::unordered_set<qint32> seen;
    std::size_t at = 0;
    for (const qint32 key : toLoad.keys) {
        if (!exists(key) || !seen.insert(key).second)
            std::abort();
        while (at < read.keys.size() && read.keys[at] != key)
            ++at;
        if (at == read.keys.size())
            std::abort();
    }
    if (toLoad.repeated && !seen.count(*toLoad.repeated))
        std::abort();

    // The same bytes as a file name copied from another machine: shown in some form, never lost.
    const QString shown = store::decodedName(bytes);
    if (!bytes.isEmpty() && shown.isEmpty())
        std::abort();
    repertory::nameRefusal(shown);
    return 0;
}
