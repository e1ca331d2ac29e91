#include "page_controls.h"

#include "main_window.h"
#include "page_keys.h"

void SubclassPageControls(HWND page, const int *ids, int count)
{
    for (int i = 0; i < count; ++i)
        SubclassPageControl(page, i + 1, ids[i]);
}

void RestorePageControls(HWND page, const int *ids, int count)
{
    for (int i = 0; i < count; ++i)
        RestorePageControl(page, i + 1, ids[i]);
}

void LeavePage(HWND page, UINT message)
{
    DestroyWindow(page);
    PostMessageA(MainWindow, message, 0, 0);
}
