#include "window_subclass.h"

WNDPROC PreviousProc(HWND window)
{
    return (WNDPROC)GetPropA(window, PREVIOUS_PROC_PROPERTY);
}

int SubclassWindow(HWND window, WNDPROC proc)
{
    if (!window || PreviousProc(window))
        return 0;
    WNDPROC previous = (WNDPROC)GetWindowLongPtrA(window, GWLP_WNDPROC);
    if (!SetPropA(window, PREVIOUS_PROC_PROPERTY, (HANDLE)previous))
        return 0;  // without the property the window keeps its own procedure
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)proc);
    return 1;
}

void RestoreWindow(HWND window)
{
    WNDPROC previous = window ? PreviousProc(window) : 0;
    if (!previous)
        return;
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)previous);
    RemovePropA(window, PREVIOUS_PROC_PROPERTY);
}
