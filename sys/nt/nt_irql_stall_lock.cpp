// The IRQL, the busy wait and the spin lock of the processor hold, from the
// HAL and the kernel of the machine the driver runs on.
#include "nt_ddk.h"

#include "platform.h"

static_assert(sizeof(KSPIN_LOCK) <= sizeof(PlatformSpinLock), "a spin lock fits its opaque storage");

void PlatformInitializeSpinLock(PlatformSpinLock* lock)
{
    KeInitializeSpinLock(reinterpret_cast<PKSPIN_LOCK>(lock->Opaque));
}

void PlatformAcquireSpinLockAtDpcLevel(PlatformSpinLock* lock)
{
    KefAcquireSpinLockAtDpcLevel(reinterpret_cast<PKSPIN_LOCK>(lock->Opaque));
}

void PlatformReleaseSpinLockFromDpcLevel(PlatformSpinLock* lock)
{
    KefReleaseSpinLockFromDpcLevel(reinterpret_cast<PKSPIN_LOCK>(lock->Opaque));
}

void PlatformStallMicroseconds(uint32_t microseconds)
{
    KeStallExecutionProcessor(microseconds);
}

uint8_t PlatformRaiseIrql(uint8_t newIrql)
{
    return KfRaiseIrql(newIrql);
}

void PlatformLowerIrql(uint8_t irql)
{
    KfLowerIrql(irql);
}

uint8_t PlatformGetCurrentIrql()
{
    return KeGetCurrentIrql();
}
