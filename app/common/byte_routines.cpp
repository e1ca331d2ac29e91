#include "byte_routines.h"

void FillBytes(void* dest, uint8_t value, uint32_t count)
{
    uint8_t* d = static_cast<uint8_t*>(dest);
    for (uint32_t i = 0; i < count; i++)
        d[i] = value;
}

void CopyBytes(void* dest, const void* src, uint32_t count)
{
    uint8_t* d = static_cast<uint8_t*>(dest);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    for (uint32_t i = 0; i < count; i++)
        d[i] = s[i];
}

int CompareBytes(const void* a, const void* b, uint32_t count)
{
    const uint8_t* x = static_cast<const uint8_t*>(a);
    const uint8_t* y = static_cast<const uint8_t*>(b);
    for (uint32_t i = 0; i < count; i++)
        if (x[i] != y[i])
            return 1;
    return 0;
}
