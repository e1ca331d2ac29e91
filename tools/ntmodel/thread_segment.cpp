#include "thread_segment.h"

#include <asm/ldt.h>
#include <stdint.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "model_kernel.h"

namespace {

const uint16_t LocalTableBit = 4;
const uint16_t UserPrivilege = 3;
// The local table's first entries are the processors' control regions.
const unsigned FirstThreadEntry = MaxProcessors;
const unsigned LocalTableEntries = 8192;

uint16_t GlobalSelector;
unsigned NextEntry = FirstThreadEntry;
thread_local uint16_t OwnSelector;

// The base of gs: the C library keeps the thread pointer itself at gs:0.
uint32_t ThreadBase()
{
    uint32_t base;
    asm volatile("movl %%gs:0, %0" : "=r"(base));
    return base;
}

uint16_t CurrentSelector()
{
    uint16_t selector;
    asm volatile("movw %%gs, %0" : "=r"(selector));
    return selector;
}

user_desc DataDescriptor(unsigned entry, uint32_t base)
{
    user_desc descriptor = {};
    descriptor.entry_number = entry;
    descriptor.base_addr = base;
    descriptor.limit = 0xFFFFF;
    descriptor.seg_32bit = 1;
    descriptor.limit_in_pages = 1;
    descriptor.useable = 1;
    return descriptor;
}

}  // namespace

void ThreadSegmentNoteGlobal()
{
    GlobalSelector = CurrentSelector();
}

int ThreadSegmentKeep(ucontext_t* context)
{
    if (!OwnSelector) {
        unsigned entry = __atomic_fetch_add(&NextEntry, 1, __ATOMIC_RELAXED);
        if (entry >= LocalTableEntries)
            return 0;
        user_desc descriptor = DataDescriptor(entry, ThreadBase());
        if (syscall(SYS_modify_ldt, 1, &descriptor, sizeof descriptor) != 0)
            return 0;
        OwnSelector = static_cast<uint16_t>((entry << 3) | LocalTableBit | UserPrivilege);
    }
    context->uc_mcontext.gregs[REG_GS] = OwnSelector;
    return 1;
}

void ThreadSegmentRestoreGlobal()
{
    if (!(CurrentSelector() & LocalTableBit))
        return;
    user_desc descriptor = DataDescriptor(GlobalSelector >> 3, ThreadBase());
    syscall(SYS_set_thread_area, &descriptor);
    asm volatile("movw %0, %%gs" : : "r"(GlobalSelector));
}
