// The tables' Spanish order as a loadable extension of the sqlite3 command-line shell, so that
// scripts/kill-harness.sh can run SQLite's own integrity check on the tables, indexes included:
//   sqlite3 -cmd ".load build/tests/libvantolia_es_collation" Flores.db "PRAGMA integrity_check"
#include "store/collation.h"

#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

namespace {

// As the tables order their texts: Spanish letters first, code points to break ties.
int compare(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    const QStringView textA(static_cast<const char16_t *>(a), lengthA / 2);
    const QStringView textB(static_cast<const char16_t *>(b), lengthB / 2);
    if (const int byLetters = store::spanishCompare(textA, textB))
        return byLetters;
    return textA.compare(textB);
}

} // namespace

extern "C" int sqlite3_extension_init(sqlite3 *db, char **, const sqlite3_api_routines *api)
{
    SQLITE_EXTENSION_INIT2(api);
    return sqlite3_create_collation_v2(db, "ES", SQLITE_UTF16, nullptr, compare, nullptr);
}
