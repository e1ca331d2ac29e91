#include "standins/standin_page.h"
#include "wizard_pages.h"

INT_PTR CALLBACK ImagePageAfterReadErrorProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return StandInPageProc(page, message, wParam, lParam);
}
