#ifndef ZIPCIPHER_H
#define ZIPCIPHER_H

#include <QByteArray>
#include <QtGlobal>

#include <zlib.h>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The traditional PKWARE stream cipher shared by the archive writer and reader.
// Internal: only included from the library's own sources.
class ZipCipher
{
public:
    // Size of the random header that precedes every encrypted entry's data.
    static constexpr int HeaderSize = 12;

    explicit ZipCipher(const QByteArray& password)
    {
        m_keys[0] = 0x12345678u;
        m_keys[1] = 0x23456789u;
        m_keys[2] = 0x34567890u;
        for (char c : password)
            update(static_cast<quint8>(c));
    }

    void encrypt(char* data, qint64 length)
    {
        for (qint64 i = 0; i < length; ++i) {
            const quint8 plain = static_cast<quint8>(data[i]);
            data[i] = static_cast<char>(plain ^ streamByte());
            update(plain);
        }
    }

    void decrypt(char* data, qint64 length)
    {
        for (qint64 i = 0; i < length; ++i) {
            const quint8 plain = static_cast<quint8>(data[i]) ^ streamByte();
            data[i] = static_cast<char>(plain);
            update(plain);
        }
    }

private:
    static quint32 crcStep(quint32 crc, quint8 byte)
    {
        static const z_crc_t* table = get_crc_table();
        return static_cast<quint32>(table[(crc ^ byte) & 0xffu]) ^ (crc >> 8);
    }

    quint8 streamByte() const
    {
        const quint32 temp = (m_keys[2] | 2u) & 0xffffu;
        return static_cast<quint8>((temp * (temp ^ 1u)) >> 8);
    }

    void update(quint8 byte)
    {
        m_keys[0] = crcStep(m_keys[0], byte);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xffu)) * 0x08088405u + 1u;
        m_keys[2] = crcStep(m_keys[2], static_cast<quint8>(m_keys[1] >> 24));
    }

    quint32 m_keys[3];
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ZIPCIPHER_H
