// The in-process transport: the driver logic over the host platform on the
// emulated machine of a machine file. Chip images are written back after
// every request.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "driver_state.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "request_dispatch.h"
#include "request_transport.h"
#include "stale_pool.h"

namespace {

void PrintWarning(const char* line, void*)
{
    fprintf(stderr, "pelmixctl: machine file %s\n", line);
}

void PrintTrace(const char* line, void*)
{
    fflush(stdout);
    fprintf(stderr, "trace: %s\n", line);
}

}  // namespace

int TransportOpen(const TransportSettings* settings, char* error, uint32_t errorSize)
{
    if (!settings->MachinePath) {
        snprintf(error, errorSize, "--machine FILE is required: this build runs on an emulated machine");
        return TransportUnusable;
    }
    EmuSetWarningSink(PrintWarning, nullptr);
    EmuSetTraceSink(nullptr, nullptr);
    if (!HostLoadMachineFile(settings->MachinePath, error, errorSize))
        return TransportUnusable;
    HostResetPlatform();
    ResetDriverState();
    if (settings->Trace)
        EmuSetTraceSink(PrintTrace, nullptr);
    return TransportOpened;
}

int TransportSend(uint32_t code, uint8_t* buffer, uint32_t inLength, uint32_t outLength, uint32_t* systemStatus,
                  uint32_t* information, TransportTiming* timing, char* error, uint32_t errorSize)
{
    // The system buffer as NT's I/O manager hands it over: the input copied
    // in, the rest stale pool memory.
    uint32_t size = inLength > outLength ? inLength : outLength;
    std::vector<uint8_t> system(size ? size : 1, 0);
    memcpy(system.data(), buffer, inLength);
    EmuFillStalePool(system.data(), inLength, size);

    uint64_t startUs = HostVirtualTimeUs();
    uint64_t heldBefore = HostHeldTimeUs();
    *information = 0;
    *systemStatus = DispatchDeviceControl(code, system.data(), inLength, outLength, information);
    timing->Known = 1;
    timing->ElapsedUs = HostVirtualTimeUs() - startUs;
    timing->HeldUs = HostHeldTimeUs() - heldBefore;

    uint32_t back = *information < outLength ? *information : outLength;
    memcpy(buffer, system.data(), back);

    if (!EmuSaveChangedImages(error, errorSize))
        return 0;
    return 1;
}

void TransportClose()
{
    HostResetPlatform();  // lets the holding threads of the last hold finish
    EmuSetTraceSink(nullptr, nullptr);
    EmuSetWarningSink(nullptr, nullptr);
}
