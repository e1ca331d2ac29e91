// The kernel and HAL routines the model binds a driver's imports to, with
// the i686 calling conventions of the real ones, and the state several of
// them share.
#ifndef NTMODEL_MODEL_ROUTINES_H
#define NTMODEL_MODEL_ROUTINES_H

#include <stdint.h>

#define MODEL_STDCALL  __attribute__((stdcall))
#define MODEL_FASTCALL __attribute__((fastcall))
#define MODEL_CALLER   __builtin_return_address(0)

// A routine the import table can name: a function, or (Data) a variable.
struct ModelRoutine {
    const char* Name;
    void* Address;
    int Data;
};
// The routine of that name, or null.
const ModelRoutine* FindModelRoutine(const char* name);

// The processor hold as the machine's faults see it: the query gives the
// count of holding threads to come, and the last creation can fail or be
// kept from every processor.
struct HoldFaults {
    uint32_t ExpectedThreads;
    uint32_t Creations;
};
extern HoldFaults Hold;

// Virtual time the caller's thread spent at DISPATCH_LEVEL or above.
uint64_t CallerHeldUs();
// Under KernelLock: what every mapping left open was made at, for the unload
// check; returns the count and the first one's details.
uint32_t OpenMappings(const void** madeAt, uint32_t* busAddress, uint32_t* size);
// Installs the handler that turns a fault in the image into a bugcheck.
void InstallFaultHandler();
// Reads the machine's bus layout once it is loaded.
void HalMachineLoaded();

#endif
