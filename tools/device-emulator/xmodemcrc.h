#pragma once

#include <QByteArray>
#include <cstdint>

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection): the check value of
// "123456789" is 0x31C3.
class XmodemCrc
{
public:
    static uint16_t compute(const char* data, int length)
    {
        uint16_t crc = 0;
        for (int i = 0; i < length; ++i) {
            crc ^= uint16_t(uint8_t(data[i])) << 8;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
        }
        return crc;
    }

    static uint16_t compute(const QByteArray& data) { return compute(data.constData(), int(data.size())); }
};
