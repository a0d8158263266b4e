#pragma once

#include <QByteArray>
#include <QString>

// Code page 936 (GBK), the encoding of every text on the client link.
namespace cp936 {

// Characters that code page 936 cannot hold become "?".
QByteArray encode(const QString &text);
// Byte sequences that are not code page 936 become U+FFFD, one per bad byte.
QString decode(const QByteArray &bytes);
// Length of the text in code page 936 bytes (a Chinese character counts 2).
int byteLength(const QString &text);

} // namespace cp936
