#include "page_keys.h"

#include "command_line.h"
#include "page_host.h"
#include "window_subclass.h"

HWND HiddenControls[HiddenControlCount];

namespace {

int KeyDown(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

// What every subclassed control gets as its procedure.
LRESULT CALLBACK PageKeyForwarder(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = PreviousProc(control);
    if (!previous)  // given back while a later subclass still calls here
        return DefWindowProcA(control, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RestoreControl(control);  // the property must not outlive the window
        return CallWindowProcA(previous, control, message, wParam, lParam);
    }
    return PageKeyProc(previous, control, message, wParam, lParam);
}

}  // namespace

LRESULT PageKeyProc(WNDPROC previous, HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_F1) {
        if (KeyDown(VK_SHIFT) && KeyDown(VK_CONTROL)) {
            OptionFlags.DevMode = 1;
            RevealHiddenControls();
        } else {
            AskAbout(GetParent(control));
        }
    }
    if (message == WM_KEYDOWN && wParam == VK_F3) {
        HWND page = GetParent(control);
        if (AskExit(MainWindow))
            return 0;  // the control is gone with the program's windows
        SetActiveWindow(page);
    }
    return CallWindowProcA(previous, control, message, wParam, lParam);
}

void SubclassControl(HWND control)
{
    SubclassWindow(control, PageKeyForwarder);
}

void RestoreControl(HWND control)
{
    RestoreWindow(control);
}

void SubclassPageControls(HWND page, const int* ids, int count)
{
    for (int i = 0; i < count; ++i)
        SubclassControl(GetDlgItem(page, ids[i]));
}

void RestorePageControls(HWND page, const int* ids, int count)
{
    for (int i = 0; i < count; ++i)
        RestoreControl(GetDlgItem(page, ids[i]));
}

void ClearHiddenControls()
{
    for (HWND& h : HiddenControls)
        h = 0;
}

void RevealHiddenControls()
{
    for (HWND h : HiddenControls)
        if (h)
            ShowWindow(h, SW_SHOW);
}
