#ifndef RANDOMDATA_H
#define RANDOMDATA_H

#include <QByteArray>
#include <QtGlobal>

// Bytes that never repeat in a pattern, the same for the same seed. Transfer tests use
// them so that a repeated or dropped block can never pass for the right one.
QByteArray randomBytes(int size, quint32 seed);

#endif // RANDOMDATA_H
