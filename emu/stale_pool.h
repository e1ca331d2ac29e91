// What NT's I/O manager leaves in a buffered request's system buffer past
// the input: pool memory last used by someone else, which goes back to the
// caller with the reply unless the driver writes or clears it. The emulated
// platforms fill that part with this pattern before the dispatcher runs, so
// a reply that carries stale memory back shows it.
#ifndef PELMIX_EMU_STALE_POOL_H
#define PELMIX_EMU_STALE_POOL_H

#include <stdint.h>

// The stale byte at a buffer offset: every value occurs, and no run of
// three follows from anything the driver writes.
inline uint8_t EmuStalePoolByte(uint32_t offset)
{
    return static_cast<uint8_t>(0xC5 + 0x3B * offset);
}

// Fills bytes [from, to) of a system buffer with the stale pattern.
inline void EmuFillStalePool(uint8_t* buffer, uint32_t from, uint32_t to)
{
    for (uint32_t i = from; i < to; ++i)
        buffer[i] = EmuStalePoolByte(i);
}

// The first offset at or after from where three bytes in a row are the stale
// pattern, or -1: a reply that returns none holds no stale memory.
inline int64_t EmuFindStaleRun(const uint8_t* reply, uint32_t length, uint32_t from)
{
    uint32_t run = 0;
    for (uint32_t i = from; i < length; ++i) {
        run = reply[i] == EmuStalePoolByte(i) ? run + 1 : 0;
        if (run == 3)
            return static_cast<int64_t>(i) - 2;
    }
    return -1;
}

#endif
