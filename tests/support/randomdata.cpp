#include "randomdata.h"

#include <QRandomGenerator>

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(qMax(0, size), Qt::Uninitialized);
    int i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        const quint32 word = generator.generate();
        memcpy(bytes.data() + i, &word, 4);
    }
    for (; i < bytes.size(); ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}
