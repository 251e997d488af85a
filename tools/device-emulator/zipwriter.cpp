#include "zipwriter.h"

#include <QFile>
#include <QSaveFile>
#include <zlib.h>

namespace {

void put16(QByteArray& out, quint32 value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// Raw deflate (no zlib header), as zip method 8 wants it.
bool deflateRaw(const QByteArray& in, QByteArray& out)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(int(deflateBound(&stream, uLong(in.size()))) + 16);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    stream.avail_in = uInt(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int rc = deflate(&stream, Z_FINISH);
    const auto written = stream.total_out;
    deflateEnd(&stream);
    if (rc != Z_STREAM_END)
        return false;
    out.resize(int(written));
    return true;
}

} // namespace

QByteArray ZipWriter::singleEntry(const QString& entryName, const QByteArray& content,
                                  const QDateTime& modified)
{
    QByteArray data;
    quint16 method = 8;
    if (!deflateRaw(content, data) || data.size() >= content.size()) {
        data = content;
        method = 0;
    }
    const quint32 crc = quint32(crc32(crc32(0L, Z_NULL, 0),
                                      reinterpret_cast<const Bytef*>(content.constData()),
                                      uInt(content.size())));
    const QDateTime local = modified.isValid() ? modified.toLocalTime() : QDateTime::currentDateTime();
    const QDate d = local.date().year() < 1980 ? QDate(1980, 1, 1) : local.date();
    const QTime t = local.time();
    const quint32 dosTime = quint32((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
    const quint32 dosDate = quint32(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
    const QByteArray name = entryName.toUtf8();

    QByteArray out;
    put32(out, 0x04034b50);
    put16(out, 20);
    put16(out, 0);
    put16(out, method);
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, crc);
    put32(out, quint32(data.size()));
    put32(out, quint32(content.size()));
    put16(out, quint32(name.size()));
    put16(out, 0);
    out.append(name);
    out.append(data);

    const quint32 centralOffset = quint32(out.size());
    put32(out, 0x02014b50);
    put16(out, 0x0314); // made by: Unix, 2.0
    put16(out, 20);
    put16(out, 0);
    put16(out, method);
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, crc);
    put32(out, quint32(data.size()));
    put32(out, quint32(content.size()));
    put16(out, quint32(name.size()));
    put16(out, 0); // extra
    put16(out, 0); // comment
    put16(out, 0); // disk
    put16(out, 0); // internal attributes
    put32(out, quint32(0100644) << 16);
    put32(out, 0); // local header offset
    out.append(name);
    const quint32 centralSize = quint32(out.size()) - centralOffset;

    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    put32(out, centralSize);
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

bool ZipWriter::writeSingleEntry(const QString& zipPath, const QString& entryName,
                                 const QByteArray& content, const QDateTime& modified)
{
    QSaveFile file(zipPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(singleEntry(entryName, content, modified));
    return file.commit();
}
