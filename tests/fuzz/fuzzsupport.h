#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: one application object for the whole run, its own
// home folder (documents, settings), silent debug output (a message per input would
// cost more than the input) and a scratch folder for inputs that are read from files.
namespace FuzzSupport {

// Once per process, from LLVMFuzzerInitialize. DOVREL_FUZZ_VERBOSE=1 keeps the messages.
void initialize(int* argc, char*** argv);

// A path in the run's scratch folder.
QString scratchPath(const QString& name);
// Writes the input to a scratch file and answers its path.
QString writeScratchFile(const QString& name, const QByteArray& data);

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace FuzzSupport

#define DOVREL_FUZZ_INITIALIZE                                                                                         \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)                                                       \
    {                                                                                                                  \
        FuzzSupport::initialize(argc, argv);                                                                           \
        return 0;                                                                                                      \
    }

#endif // FUZZSUPPORT_H
