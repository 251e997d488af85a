#ifndef FUZZDEVICE_H
#define FUZZDEVICE_H

#include "fuzzline.h"

#include <QByteArray>

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

    // Starts the operation and writes the conversation's pieces (FuzzLine) while the
    // manager holds the port open. Afterwards the manager is idle with the port closed,
    // whatever the pieces did.
    void converse(Operation operation, const QByteArray& conversation);

private:
    FuzzDevice();
    bool start(Operation operation);

    FuzzLine m_line;
};

#endif // FUZZDEVICE_H
