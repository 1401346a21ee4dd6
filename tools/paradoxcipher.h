#pragma once

#include <QByteArray>
#include <QtGlobal>

// The block cipher of password-protected Paradox tables. The data blocks of the .db file and
// the whole of its .MB file are enciphered in 256-byte chunks with a 32-bit key; the key is a
// checksum of the password, and the table header keeps it, so a password is checked by
// comparing checksums. The file header itself is never enciphered.
namespace tabletool::paradoxcipher {

inline constexpr int kChunk = 256;

// The key a password gives; 0 for the empty password, which means "not protected".
quint32 passwordKey(const QByteArray &password);

// One data block of the .db file, numbered from 1 as the header counts them, in place.
// `size` is a multiple of kChunk.
void decipherDataBlock(char *block, int size, quint32 key, quint16 blockNumber);
void encipherDataBlock(char *block, int size, quint32 key, quint16 blockNumber);

// Bytes of the .MB file, starting at an offset that is a multiple of kChunk, in place.
// `size` is a multiple of kChunk.
void decipherBlobBytes(char *bytes, qint64 size, quint32 key);
void encipherBlobBytes(char *bytes, qint64 size, quint32 key);

} // namespace tabletool::paradoxcipher
