#ifndef EXITCODE_H
#define EXITCODE_H

// The exit codes of dovrelctl; scripts rely on the numbers.
enum class ExitCode : int {
    Success = 0,
    Failed = 1,     // the device refused or the operation failed
    UsageError = 2, // bad options or input
    TimedOut = 3,   // time-out or device lost
    NoDevice = 4    // no device found, or its port cannot be opened
};

#endif // EXITCODE_H
