// ExAllocatePool(WithTag) and ExFreePool(WithTag), with the pool's rules
// (POOL): a free of what is no block or of a block freed before, a tag other
// than the block's, a touch past a block's end or after its free, paged pool
// touched at DISPATCH_LEVEL or above, and pool left at the unload.
#include "kernel_pool.h"

#include <string.h>
#include <sys/mman.h>

#include "entry_calls.h"
#include "export_tables.h"
#include "model_routines.h"
#include "stale_pool.h"

namespace {

const uint32_t PageSize = 0x1000;
const uint32_t UntaggedTag = 0x656E6F4E;  // 'None': ExAllocatePool's blocks
const uint32_t LargestBlock = 16u << 20;
const uint32_t MostLiveBytes = 64u << 20;

enum BlockState { BlockUnused, BlockLive, BlockFreed };
enum { MaxPoolBlocks = 1024 };

// Pool types: NonPagedPool 0, PagedPool 1, NonPagedPoolMustSucceed 2,
// (3 unused), NonPagedPoolCacheAligned 4, PagedPoolCacheAligned 5,
// NonPagedPoolCacheAlignedMustS 6; 2000 adds the session pools (+32).
const uint32_t SessionPool = 32;

struct PoolBlock {
    int State;
    int Paged;
    uint8_t* Pages;  // the block's pages, then a guard page
    uint32_t DataSize;
    uint8_t* Address;  // what the allocation returned
    uint32_t Size;
    uint32_t Tag;
    const void* MadeAt;
    const void* FreedAt;
    uint64_t FreedSequence;
};

PoolBlock Blocks[MaxPoolBlocks];
uint32_t LiveBytes;
uint64_t FreeCount;

const char* TypeName(const PoolBlock& block)
{
    return block.Paged ? "paged" : "nonpaged";
}

void TagText(uint32_t tag, char text[5])
{
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>(tag >> (8 * i));
        text[i] = c >= 0x20 && c < 0x7F ? c : '.';
    }
    text[4] = 0;
}

// A slot for a new block: an unused one, else the one freed longest ago
// (its pages go back to the host; a touch of them is then an ordinary fault).
PoolBlock* FreeSlot()
{
    PoolBlock* oldest = nullptr;
    for (PoolBlock& block : Blocks) {
        if (block.State == BlockUnused)
            return &block;
        if (block.State == BlockFreed && (!oldest || block.FreedSequence < oldest->FreedSequence))
            oldest = &block;
    }
    if (oldest) {
        munmap(oldest->Pages, oldest->DataSize + PageSize);
        oldest->State = BlockUnused;
    }
    return oldest;
}

int TypeKnown(uint32_t type)
{
    uint32_t base = type & ~SessionPool;
    if ((type & SessionPool) && Settings.Version < Nt50)
        return 0;
    return base <= 6 && base != 3;
}

void* Allocate(KernelCall& call, uint32_t type, uint32_t size, uint32_t tag)
{
    if (!TypeKnown(type))
        call.Break("POOL", "allocates pool of type %u, which NT %s does not have", type, VersionName(Settings.Version));
    int paged = (type & 1) != 0;
    if (paged && call.Thread->Irql > ApcLevel)
        call.Break("IRQL", "allocates paged pool at IRQL %u; paged pool is for IRQL APC_LEVEL at most",
                   call.Thread->Irql);
    // Pool the machine cannot give is a null pointer, never a stop.
    if (size > LargestBlock || LiveBytes + size > MostLiveBytes)
        return nullptr;
    PoolBlock* block = FreeSlot();
    if (!block)
        return nullptr;
    uint32_t alignment = size >= PageSize ? PageSize : (type & ~SessionPool) >= 4 ? 64 : 8;
    uint32_t rounded = (size + alignment - 1) & ~(alignment - 1);
    uint32_t dataSize = size ? (size + PageSize - 1) & ~(PageSize - 1) : PageSize;
    void* pages = mmap(nullptr, dataSize + PageSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        return nullptr;
    uint8_t* base = static_cast<uint8_t*>(pages);
    mprotect(base, dataSize, PROT_READ | PROT_WRITE);
    memset(block, 0, sizeof *block);
    block->State = BlockLive;
    block->Paged = paged;
    block->Pages = base;
    block->DataSize = dataSize;
    // A small block ends at the guard page, so the first byte past it faults.
    block->Address = size >= PageSize ? base : base + dataSize - rounded;
    block->Size = size;
    block->Tag = tag;
    block->MadeAt = call.Caller;
    // Pool holds what its last user left, never zeros.
    EmuFillStalePool(base, 0, dataSize);
    LiveBytes += size;
    return block->Address;
}

void Free(KernelCall& call, void* address, int tagChecked, uint32_t tag)
{
    char made[96], freed[96];
    PoolBlock* live = nullptr;
    for (PoolBlock& block : Blocks) {
        if (block.State == BlockLive && block.Address == address)
            live = &block;
    }
    if (!live) {
        for (const PoolBlock& block : Blocks) {
            if (block.State == BlockFreed && block.Address == address) {
                FormatImageAddress(block.MadeAt, made, sizeof made);
                FormatImageAddress(block.FreedAt, freed, sizeof freed);
                call.Break("POOL", "frees pool freed before (%u bytes allocated at %s, freed at %s)", block.Size, made,
                           freed);
            }
        }
        for (const PoolBlock& block : Blocks) {
            uint8_t* at = static_cast<uint8_t*>(address);
            if (block.State == BlockLive && at > block.Address && at < block.Address + block.Size) {
                FormatImageAddress(block.MadeAt, made, sizeof made);
                call.Break("POOL", "frees %p, inside a block of %u bytes at %p allocated at %s, not its start", address,
                           block.Size, static_cast<void*>(block.Address), made);
            }
        }
        call.Break("POOL", "frees %p, which is no pool block", address);
    }
    if (live->Paged && call.Thread->Irql > ApcLevel)
        call.Break("IRQL", "frees paged pool at IRQL %u; paged pool is for IRQL APC_LEVEL at most", call.Thread->Irql);
    if (tagChecked && tag != 0 && tag != live->Tag) {
        char given[5], own[5];
        TagText(tag, given);
        TagText(live->Tag, own);
        call.Break("POOL", "frees a block tagged '%s' with the tag '%s'", own, given);
    }
    mprotect(live->Pages, live->DataSize, PROT_NONE);
    live->State = BlockFreed;
    live->FreedAt = call.Caller;
    live->FreedSequence = ++FreeCount;
    LiveBytes -= live->Size;
}

}  // namespace

void PoolPageOut()
{
    for (const PoolBlock& block : Blocks) {
        if (block.State == BlockLive && block.Paged)
            mprotect(block.Pages, block.DataSize, PROT_NONE);
    }
}

int PoolFault(const ModelThread* thread, const void* pc, const void* address)
{
    // Read without the kernel lock: the faulting thread may hold it.
    const uint8_t* at = static_cast<const uint8_t*>(address);
    const char* entry = thread ? EntryNameOf(thread) : "model";
    char made[96], freed[96];
    for (const PoolBlock& block : Blocks) {
        if (block.State == BlockUnused || at < block.Pages || at >= block.Pages + block.DataSize + PageSize)
            continue;
        FormatImageAddress(block.MadeAt, made, sizeof made);
        if (block.State == BlockFreed) {
            FormatImageAddress(block.FreedAt, freed, sizeof freed);
            Bugcheck("POOL", entry, pc, "touches %p in pool freed at %s (%u bytes allocated at %s)", address, freed,
                     block.Size, made);
        }
        if (at >= block.Pages + block.DataSize)
            Bugcheck("POOL", entry, pc, "touches %p, past the end of %u bytes of %s pool allocated at %s", address,
                     block.Size, TypeName(block), made);
        if (!block.Paged)
            return 0;
        if (thread && thread->Irql >= DispatchLevel)
            Bugcheck("POOL", entry, pc,
                     "touches paged pool at IRQL %u, where a page-out is fatal (%u bytes allocated at %s)",
                     thread->Irql, block.Size, made);
        mprotect(block.Pages, block.DataSize, PROT_READ | PROT_WRITE);
        return 1;
    }
    return 0;
}

void PoolCheckUnload()
{
    for (const PoolBlock& block : Blocks) {
        if (block.State == BlockLive)
            Bugcheck("POOL", "DriverUnload", block.MadeAt, "%u bytes of %s pool allocated here are not freed",
                     block.Size, TypeName(block));
    }
}

extern "C" {

MODEL_STDCALL void* ModelExAllocatePool(uint32_t type, uint32_t size)
{
    KernelCall call("ExAllocatePool", MODEL_CALLER, DispatchLevel);
    return Allocate(call, type, size, UntaggedTag);
}

MODEL_STDCALL void* ModelExAllocatePoolWithTag(uint32_t type, uint32_t size, uint32_t tag)
{
    KernelCall call("ExAllocatePoolWithTag", MODEL_CALLER, DispatchLevel);
    return Allocate(call, type, size, tag);
}

MODEL_STDCALL void ModelExFreePool(void* address)
{
    KernelCall call("ExFreePool", MODEL_CALLER, DispatchLevel);
    Free(call, address, 0, 0);
}

MODEL_STDCALL void ModelExFreePoolWithTag(void* address, uint32_t tag)
{
    KernelCall call("ExFreePoolWithTag", MODEL_CALLER, DispatchLevel);
    Free(call, address, 1, tag);
}

}  // extern "C"
