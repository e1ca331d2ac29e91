// One line per request: a JSON object, or readable text.
#ifndef PELMIXCTL_REPLY_FORMAT_H
#define PELMIXCTL_REPLY_FORMAT_H

#include <stdint.h>

#include <string>

#include "request_transport.h"

struct RequestOutcome {
    int Kind;  // CommandKind
    uint32_t Code;
    uint32_t SystemStatus;
    uint32_t Information;
    const uint8_t* Reply;  // the bytes that travelled back
    uint32_t ReplyLength;
    TransportTiming Timing;
    const char* File;  // file written from the reply, or null
    uint32_t FileBytes;
};

// "ENUM_DEVICES", ..., "RAW"
const char* RequestName(int kind);
std::string FormatJson(const RequestOutcome& outcome);
std::string FormatText(const RequestOutcome& outcome);
// A request's NTSTATUS as "0xC0000206 STATUS_INVALID_BUFFER_SIZE: meaning".
std::string SystemStatusText(uint32_t status);
// What the driver's result code (a reply's Status) means for that request.
const char* DriverResultText(int kind, uint32_t status);

#endif
