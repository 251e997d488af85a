#ifndef FUZZDEVICE_H
#define FUZZDEVICE_H

#include <QByteArray>

class PtyDevice;

// A device played by the fuzz input itself: the real SerialPortManager has discovered it
// on a pseudo terminal, as it would a plugged-in device, and every input is the device's
// side of one operation. Nothing in the manager is opened up for this: the bytes reach its
// dispatcher and packet engine the way a device's bytes do.
class FuzzDevice
{
public:
    enum Operation {
        DataLogRetrieval,
        ProjectRetrieval,
        FontListing,
        CalibrationBackup,
        SoftwareUpgrade,
        FontUpload,
        DataLogUpdate,
        OperationCount
    };

    // The device, identified by the manager on first use.
    static FuzzDevice& instance();

    // Starts the operation, then writes the conversation piece by piece: the pieces are
    // separated by Separator, and each is written once the manager has read and handled
    // everything before it (as a device answers one command at a time). Afterwards the
    // manager is left idle with the port closed, whatever the pieces did.
    void converse(Operation operation, const QByteArray& conversation);

    static constexpr const char* Separator = "~~~";

private:
    FuzzDevice();
    bool start(Operation operation);
    void deliver(const QByteArray& piece);
    // Runs the event loop until the manager has taken every byte written so far.
    void settle();
    int pendingInput() const;

    PtyDevice* m_device = nullptr;
    int m_slave = -1; // an end of the pseudo terminal of our own: tells what is still unread
};

#endif // FUZZDEVICE_H
