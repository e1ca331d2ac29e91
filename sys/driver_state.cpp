#include "driver_state.h"

#include "card_scan.h"
#include "flash_chip.h"
#include "processor_hold.h"
#include "request_dispatch.h"
#include "rom_access.h"

void ResetDriverState()
{
    CardTable = CardTableRecord();
    RelocationAddress = 0;
    ResetChipParameters();
    ResetRomAccessState();
    InitializeRequestDispatch();
}

int PrepareDriverUnload()
{
    return WaitForHoldingThreadsToEnd();
}
