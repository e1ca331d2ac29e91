// IRQL changes and spin-lock ownership, with their rules, shared by every
// form of the routines a driver may import for them.
#ifndef NTMODEL_KERNEL_IRQL_H
#define NTMODEL_KERNEL_IRQL_H

#include <stdint.h>

#include "model_kernel.h"

// KfRaiseIrql's work: returns the IRQL before; lowering is an IRQL stop.
uint8_t IrqlRaise(KernelCall& call, uint8_t newIrql);
// KfLowerIrql's work: raising is an IRQL stop, dropping below DISPATCH_LEVEL
// with a spin lock held a SPINLOCK stop.
void IrqlLower(KernelCall& call, uint8_t newIrql);
// Takes the spin lock on the calling processor (at DISPATCH_LEVEL or above),
// spinning while another holds it.
void SpinLockTake(KernelCall& call, uint32_t* lock);
// Gives up a spin lock the calling processor holds.
void SpinLockGive(KernelCall& call, uint32_t* lock);

#endif
