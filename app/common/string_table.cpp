#include "program_globals.h"
#include "text_lookup.h"

int LoadStringTableText(unsigned id, char* buffer, size_t size)
{
    if (size == 0)
        return 0;
    return LoadStringA(ProgramInstance, id, buffer, size > 0x7FFFFFFF ? 0x7FFFFFFF : int(size));
}
