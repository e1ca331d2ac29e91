#include "main_window.h"
#include "resource_ids.h"
#include "shell_globals.h"
#include "standins/standin_page.h"
#include "wizard_pages.h"

int StartDeviceSelection(HWND owner)
{
    if (!CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_DEVICE), owner, StandInPageProc, 0))
        WarnPageNotCreated();
    return 1;
}
