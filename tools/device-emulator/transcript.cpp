#include "transcript.h"

#include <QJsonDocument>

bool Transcript::open(const QString& path)
{
    m_clock.start();
    if (path.isEmpty())
        return true;
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

void Transcript::write(const QString& event, QJsonObject fields)
{
    if (!m_file.isOpen())
        return;
    fields.insert(QStringLiteral("event"), event);
    // Fractions of a millisecond: benchmarks measure waits shorter than one.
    fields.insert(QStringLiteral("ms"), double(m_clock.nsecsElapsed() / 1000) / 1000.0);
    QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    line.append('\n');
    m_file.write(line);
    m_file.flush();
}

void Transcript::close()
{
    m_file.close();
}
