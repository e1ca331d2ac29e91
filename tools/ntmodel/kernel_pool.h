// The executive's pool as the model serves it: every block in pages of its
// own, ending at a guard page, so a touch past its end, after its free or
// (paged pool) while paged out faults into the model.
#ifndef NTMODEL_KERNEL_POOL_H
#define NTMODEL_KERNEL_POOL_H

#include "model_kernel.h"

// Under KernelLock, when a thread raises its IRQL to DISPATCH_LEVEL: every
// block of paged pool is paged out, so the next touch of one faults, as
// NT's verifier trims pageable memory at each raise.
void PoolPageOut();
// From the fault handler: 1 when the fault was a touch of paged-out paged
// pool below DISPATCH_LEVEL, now paged in (the instruction runs again);
// a touch the pool's rules forbid stops the run; 0 for any other address.
int PoolFault(const ModelThread* thread, const void* pc, const void* address);
// Under KernelLock, after DriverUnload: pool the driver left stops the run.
void PoolCheckUnload();

#endif
