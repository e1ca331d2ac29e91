// How pelmixctl reaches the driver. One implementation runs the driver logic
// in process on an emulated machine (transport_emulated.cpp); another sends
// DeviceIoControl to the real device. The command and output code sees only
// this interface.
#ifndef PELMIXCTL_REQUEST_TRANSPORT_H
#define PELMIXCTL_REQUEST_TRANSPORT_H

#include <stdint.h>

struct TransportSettings {
    const char* MachinePath;  // emulated machine file; null when none was given
    int Trace;                // print what the machine sees (emulated only)
};

// Virtual times of one request on an emulated machine.
struct TransportTiming {
    int Known;
    uint64_t ElapsedUs;
    uint64_t HeldUs;
};

enum TransportOpenResult {
    TransportUnusable = 0,      // the settings or the machine file will not do: a usage error
    TransportOpened = 1,        // the driver answers
    TransportDriverFailed = 2,  // the driver could not be started or its device opened
};

// Starts one driver lifetime: a TransportOpenResult, with a message in
// error (that ends in what to do) unless opened.
int TransportOpen(const TransportSettings* settings, char* error, uint32_t errorSize);

// Sends one request as DeviceIoControl does with buffered I/O: the first
// inLength bytes of buffer go in, and on return the first *information bytes
// of buffer (at most outLength) hold the reply. buffer has room for
// max(inLength, outLength) bytes. Returns the NTSTATUS. A transport that
// could not deliver the request at all returns 0 and sets error.
int TransportSend(uint32_t code, uint8_t* buffer, uint32_t inLength, uint32_t outLength, uint32_t* systemStatus,
                  uint32_t* information, TransportTiming* timing, char* error, uint32_t errorSize);

void TransportClose();

#endif
