#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the 8-bit code page of the stored files and of the instruments'
// telegrams: one byte is one character. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same
// number, as Windows maps them, so every byte survives a round trip.
namespace cp1252 {

QString decode(QByteArrayView bytes);

// Characters the code page lacks become "?" (one per character, also for a
// surrogate pair).
QByteArray encode(QStringView text);

} // namespace cp1252
