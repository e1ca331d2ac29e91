// Size probes of the BARs and the interrupts around them. While a BAR holds
// the all-ones of its size probe, a live decoder sits at the top of the
// address space (over the local APIC and the firmware); an interrupt taken
// meanwhile may run code that reaches the device or that window. The
// platform tells the machine whether interrupts are masked on the processor
// making the configuration accesses; each probe notes whether they stayed
// masked from its all-ones write to the write that restores the register.
#include "emu_text.h"
#include "machine_state.h"
#include "pci_registers.h"

namespace {

// The scan sizes one BAR at a time; a driver that leaves more probes open
// than this has the oldest no longer followed.
enum { OpenProbeCapacity = 8 };

struct OpenProbe {
    const EmuFunction* Function;
    uint32_t Offset;
    bool Unmasked;
};

struct ProbeLog {
    int InterruptsMasked;  // as the platform last said; kept across machine loads
    uint32_t Probes;
    uint32_t Unmasked;
    EmuBarProbe FirstUnmasked;
    uint32_t OpenCount;
    OpenProbe Open[OpenProbeCapacity];
};

ProbeLog Log;

bool IsBar(const EmuFunction* function, uint32_t offset)
{
    uint32_t layout = EmuHeaderLayout(function);
    if (layout == PciLayoutDevice && offset == PciRomBar)
        return true;
    return offset >= PciBar0 && offset < PciBarOffset(PciBarCount(layout));
}

void MarkUnmasked(uint32_t index)
{
    OpenProbe& probe = Log.Open[index];
    if (probe.Unmasked)
        return;
    probe.Unmasked = true;
    if (Log.Unmasked++ == 0)
        Log.FirstUnmasked = {probe.Function->Bus, probe.Function->Device, probe.Function->Function, probe.Offset};
}

void MarkOpenUnmasked()
{
    for (uint32_t i = 0; i < Log.OpenCount; ++i)
        MarkUnmasked(i);
}

// The probe of this register, closed by the write that follows it.
void Close(const EmuFunction* function, uint32_t offset)
{
    for (uint32_t i = 0; i < Log.OpenCount; ++i) {
        if (Log.Open[i].Function == function && Log.Open[i].Offset == offset) {
            Log.Open[i] = Log.Open[--Log.OpenCount];
            return;
        }
    }
}

}  // namespace

void EmuNoteConfigWrite(const EmuFunction* function, uint32_t offset, uint32_t value, uint32_t byteMask)
{
    if (!IsBar(function, offset))
        return;
    if (!Log.InterruptsMasked)
        MarkOpenUnmasked();
    Close(function, offset);
    if (value != 0xFFFFFFFFu || byteMask != 0xFFFFFFFFu)
        return;
    ++Log.Probes;
    if (Log.OpenCount == OpenProbeCapacity)
        Close(Log.Open[0].Function, Log.Open[0].Offset);  // no longer followed
    Log.Open[Log.OpenCount] = {function, offset, false};
    if (!Log.InterruptsMasked)
        MarkUnmasked(Log.OpenCount);
    ++Log.OpenCount;
}

void EmuSetInterruptsMasked(int masked)
{
    Log.InterruptsMasked = masked != 0;
    if (!masked)
        MarkOpenUnmasked();
}

uint32_t EmuBarProbeCount()
{
    return Log.Probes;
}

uint32_t EmuUnmaskedBarProbeCount()
{
    return Log.Unmasked;
}

int EmuFirstUnmaskedBarProbe(EmuBarProbe* probe)
{
    if (Log.Unmasked == 0)
        return 0;
    *probe = Log.FirstUnmasked;
    return 1;
}

uint32_t EmuOpenBarProbes()
{
    return Log.OpenCount;
}

void EmuClearBarProbes()
{
    int masked = Log.InterruptsMasked;
    EmuFill(&Log, 0, sizeof Log);
    Log.InterruptsMasked = masked;
}
