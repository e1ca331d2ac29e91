// pelmixctl's transport over the model kernel: one driver lifetime of the
// loaded image, its requests sent as the I/O manager sends them.
#include <stdio.h>
#include <unistd.h>

#include "io_manager.h"
#include "model_kernel.h"
#include "model_routines.h"
#include "pci_machine.h"
#include "pe_loader.h"
#include "request_transport.h"

int TransportOpen(const TransportSettings*, char* error, uint32_t errorSize)
{
    uint32_t status;
    if (!IoStartDriver(&status)) {
        fflush(stdout);
        printf("LOAD FAILED: DriverEntry returned 0x%08x\n", status);
        fflush(stdout);
        _exit(3);
    }
    if (!IoOpenDevice(Settings.OpenBelow, &status)) {
        snprintf(error, errorSize, "the device cannot be opened (status 0x%08x)", status);
        IoUnloadDriver();
        return 0;
    }
    return 1;
}

int TransportSend(uint32_t code, uint8_t* buffer, uint32_t inLength, uint32_t outLength, uint32_t* systemStatus,
                  uint32_t* information, TransportTiming* timing, char* error, uint32_t errorSize)
{
    uint64_t startUs = ModelNowUs();
    uint64_t heldBefore = CallerHeldUs();
    *systemStatus = IoDeviceControl(code, buffer, inLength, outLength, information);
    timing->Known = 1;
    timing->ElapsedUs = ModelNowUs() - startUs;
    timing->HeldUs = CallerHeldUs() - heldBefore;
    return EmuSaveChangedImages(error, errorSize);
}

void TransportClose()
{
    IoCloseDevice();
    IoUnloadDriver();
    RetireDriverImage();
}
