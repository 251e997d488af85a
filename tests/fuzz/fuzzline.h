#ifndef FUZZLINE_H
#define FUZZLINE_H

#include <QByteArray>
#include <QString>

#include <functional>

class PtyDevice;

// A pseudo terminal whose other end the code under test reads as a device's port: the
// fuzz input is written to it in pieces, separated by Separator, each once the reader
// has taken and handled everything before it (as a device answers one command at a
// time). The reads then follow the pieces, as a device's writes come.
class FuzzLine
{
public:
    FuzzLine();
    ~FuzzLine();

    static constexpr const char* Separator = "~~~";

    PtyDevice& device() { return *m_device; }

    // Stops early once reading() is false: nobody takes the rest.
    void converse(const QByteArray& conversation, const std::function<bool()>& reading);
    // Drops what was written and not read, and what the reader wrote back.
    void flush();

private:
    void deliver(const QByteArray& piece, const std::function<bool()>& reading);
    void settle(const std::function<bool()>& reading);
    int pendingInput() const;

    PtyDevice* m_device = nullptr;
    int m_slave = -1; // an end of the terminal of our own: tells what is still unread
};

#endif // FUZZLINE_H
