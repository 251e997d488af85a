#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QString>

// One JSON object per line, flushed at once so that a test can read the
// file while the emulator keeps running (or after it was killed).
class Transcript
{
public:
    bool open(const QString& path);
    void write(const QString& event, QJsonObject fields = {});
    void close();
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    QFile m_file;
    QElapsedTimer m_clock;
};
