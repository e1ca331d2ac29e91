#include "driver_state.h"

#include "card_scan.h"

void ResetDriverState()
{
    CardTable = CardTableRecord();
    RelocationAddress = 0;
}
