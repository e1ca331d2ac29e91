// PCI configuration space through the HAL, bus translation, and MmMapIoSpace
// windows whose READ_/WRITE_REGISTER_* calls reach the emulated bus decoder.
// A window is address space the model reserves without access, so a driver
// that touches it directly, not through the register routines, faults.
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <ucontext.h>

#include "entry_calls.h"
#include "interrupt_flag.h"
#include "kernel_pool.h"
#include "model_kernel.h"
#include "model_routines.h"
#include "pci_machine.h"
#include "thread_segment.h"

namespace {

const uint32_t PageSize = 0x1000;

struct Mapping {
    int InUse;
    uint8_t* Address;  // what MmMapIoSpace returned
    uint32_t Size;
    uint32_t Physical;
    uint8_t* Reserved;  // whole pages
    uint32_t ReservedSize;
    const void* MadeAt;
};

enum { MaxMappings = 32 };
Mapping Mappings[MaxMappings];

uint8_t BusPresent[256];

uint16_t VendorOf(uint32_t bus, uint32_t slot)
{
    uint16_t vendor = 0xFFFF;
    EmuConfigRead(bus, slot, &vendor, 0, 2);
    return vendor;
}

// The bus address of a register access, or a MAPPING bugcheck.
uint32_t Reach(KernelCall& call, const uint8_t* address, uint32_t width)
{
    for (const Mapping& mapping : Mappings) {
        if (mapping.InUse && address >= mapping.Address && address + width <= mapping.Address + mapping.Size)
            return mapping.Physical + static_cast<uint32_t>(address - mapping.Address);
    }
    call.Break("MAPPING", "a register access at %p, outside every mapping", static_cast<const void*>(address));
}

int InReservation(const uint8_t* address)
{
    for (const Mapping& mapping : Mappings) {
        if (mapping.InUse && address >= mapping.Reserved && address < mapping.Reserved + mapping.ReservedSize)
            return 1;
    }
    return 0;
}

void OnFault(int, siginfo_t* info, void* context)
{
    ucontext_t* user = static_cast<ucontext_t*>(context);
    uint8_t* pc = reinterpret_cast<uint8_t*>(user->uc_mcontext.gregs[REG_EIP]);
    uint8_t* address = static_cast<uint8_t*>(info->si_addr);
    ModelThread* thread = CurrentThread();
    const char* entry = thread ? EntryNameOf(thread) : "model";
    int inImage = Image.Base && pc >= Image.Base && pc < Image.Base + Image.Size;
    if (inImage && Image.Unloaded)
        Bugcheck("THREAD", entry, pc, "code of the image runs after its unload");
    if (inImage && EmulateInterruptFlagInstruction(thread, user)) {
        if (!ThreadSegmentKeep(user))
            Bugcheck("FAULT", entry, pc, "the model has no local descriptor left for this thread's data");
        return;
    }
    // Paged pool paged in again below DISPATCH_LEVEL: the touch runs again.
    if (PoolFault(thread, pc, address)) {
        if (!ThreadSegmentKeep(user))
            Bugcheck("FAULT", entry, pc, "the model has no local descriptor left for this thread's data");
        return;
    }
    if (inImage && InReservation(address))
        Bugcheck("MAPPING", entry, pc,
                 "touches mapped device memory at %p directly, not through READ_/WRITE_REGISTER_*",
                 static_cast<void*>(address));
    Bugcheck("FAULT", entry, pc, "a page fault at address %p", static_cast<void*>(address));
}

}  // namespace

void HalMachineLoaded()
{
    memset(BusPresent, 0, sizeof BusPresent);
    BusPresent[0] = 1;
    for (uint32_t bus = 1; bus < 256; ++bus) {
        for (uint32_t slot = 0; slot < 256 && !BusPresent[bus]; ++slot)
            BusPresent[bus] = VendorOf(bus, slot) != 0xFFFF;
    }
}

uint32_t OpenMappings(const void** madeAt, uint32_t* busAddress, uint32_t* size)
{
    uint32_t open = 0;
    for (const Mapping& mapping : Mappings) {
        if (!mapping.InUse)
            continue;
        if (open++ == 0) {
            *madeAt = mapping.MadeAt;
            *busAddress = mapping.Physical;
            *size = mapping.Size;
        }
    }
    return open;
}

void InstallFaultHandler()
{
    static uint8_t alternateStack[64 * 1024];
    stack_t stack = {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action = {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
    sigaction(SIGILL, &action, nullptr);
}

extern "C" {

MODEL_STDCALL uint32_t ModelHalGetBusDataByOffset(uint32_t busDataType, uint32_t bus, uint32_t slot, uint8_t* buffer,
                                                  uint32_t offset, uint32_t length)
{
    KernelCall call("HalGetBusDataByOffset", MODEL_CALLER, DispatchLevel);
    if (busDataType != NtPciConfiguration || bus > 255 || slot > 0xFF || !BusPresent[bus] || offset >= 256)
        return 0;
    if (VendorOf(bus, slot) == 0xFFFF) {
        // An empty slot: only the invalid vendor ID comes back.
        for (uint32_t i = offset; i < 2 && i < offset + length; ++i)
            buffer[i - offset] = 0xFF;
        return 2;
    }
    uint32_t count = length < 256 - offset ? length : 256 - offset;
    BeginConfigAccess(call);
    EmuConfigRead(bus, slot, buffer, offset, count);
    EndConfigAccess(call);
    return count;
}

MODEL_STDCALL uint32_t ModelHalSetBusDataByOffset(uint32_t busDataType, uint32_t bus, uint32_t slot,
                                                  const uint8_t* buffer, uint32_t offset, uint32_t length)
{
    KernelCall call("HalSetBusDataByOffset", MODEL_CALLER, DispatchLevel);
    if (busDataType != NtPciConfiguration || bus > 255 || slot > 0xFF || !BusPresent[bus] || offset >= 256 ||
        VendorOf(bus, slot) == 0xFFFF)
        return 0;
    uint32_t count = length < 256 - offset ? length : 256 - offset;
    BeginConfigAccess(call);
    EmuConfigWrite(bus, slot, buffer, offset, count);
    EndConfigAccess(call);
    return count;
}

MODEL_STDCALL uint8_t ModelHalTranslateBusAddress(uint32_t interfaceType, uint32_t, uint32_t addressLow,
                                                  uint32_t addressHigh, uint32_t* addressSpace, uint32_t* translated)
{
    KernelCall call("HalTranslateBusAddress", MODEL_CALLER, DispatchLevel);
    if (interfaceType != NtPciBus || addressHigh != 0 || !addressSpace || *addressSpace != 0)
        return 0;
    translated[0] = addressLow;
    translated[1] = 0;
    return 1;
}

MODEL_STDCALL void* ModelMmMapIoSpace(uint32_t physicalLow, uint32_t physicalHigh, uint32_t size, uint32_t)
{
    KernelCall call("MmMapIoSpace", MODEL_CALLER, DispatchLevel);
    if (size == 0 || physicalHigh != 0 || EmuMappingRefused(physicalLow, size))
        return nullptr;
    for (Mapping& mapping : Mappings) {
        if (mapping.InUse)
            continue;
        uint32_t inPage = physicalLow % PageSize;
        uint32_t reserved = (inPage + size + PageSize - 1) / PageSize * PageSize;
        void* pages = mmap(nullptr, reserved, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (pages == MAP_FAILED)
            return nullptr;
        mapping = Mapping {1,           static_cast<uint8_t*>(pages) + inPage, size,
                           physicalLow, static_cast<uint8_t*>(pages),          reserved,
                           call.Caller};
        return mapping.Address;
    }
    return nullptr;
}

MODEL_STDCALL void ModelMmUnmapIoSpace(uint8_t* address, uint32_t size)
{
    KernelCall call("MmUnmapIoSpace", MODEL_CALLER, DispatchLevel);
    for (Mapping& mapping : Mappings) {
        if (!mapping.InUse || mapping.Address != address)
            continue;
        if (mapping.Size != size)
            call.Break("MAPPING", "unmaps %u bytes of a mapping of %u", size, mapping.Size);
        munmap(mapping.Reserved, mapping.ReservedSize);
        mapping.InUse = 0;
        return;
    }
    call.Break("MAPPING", "unmaps %p, which MmMapIoSpace did not return", static_cast<void*>(address));
}

MODEL_STDCALL uint8_t ModelReadRegisterUchar(const uint8_t* address)
{
    KernelCall call("READ_REGISTER_UCHAR", MODEL_CALLER, HighLevel);
    return EmuBusRead8(Reach(call, address, 1));
}

MODEL_STDCALL uint32_t ModelReadRegisterUlong(const uint8_t* address)
{
    KernelCall call("READ_REGISTER_ULONG", MODEL_CALLER, HighLevel);
    return EmuBusRead32(Reach(call, address, 4));
}

MODEL_STDCALL void ModelWriteRegisterUchar(uint8_t* address, uint8_t value)
{
    KernelCall call("WRITE_REGISTER_UCHAR", MODEL_CALLER, HighLevel);
    EmuBusWrite8(Reach(call, address, 1), value);
}

MODEL_STDCALL void ModelWriteRegisterUlong(uint8_t* address, uint32_t value)
{
    KernelCall call("WRITE_REGISTER_ULONG", MODEL_CALLER, HighLevel);
    EmuBusWrite32(Reach(call, address, 4), value);
}

}  // extern "C"
