// Message boxes shown while HighlightBoxes is set draw their text in dark
// red: a thread hook catches each box as it is created and subclasses it.
#include "box_highlight.h"

#include "window_subclass.h"

int HighlightBoxes;

namespace {

HHOOK BoxHook;

LRESULT CALLBACK RedTextProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORSTATIC) {
        HDC dc = (HDC)wParam;
        SetTextColor(dc, RGB(180, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return (LRESULT)GetStockObject(NULL_BRUSH);
    }
    WNDPROC previous = PreviousProc(box);
    if (message == WM_NCDESTROY)
        RestoreWindow(box);  // the property must not outlive the box
    return previous ? CallWindowProcA(previous, box, message, wParam, lParam)
                    : DefWindowProcA(box, message, wParam, lParam);
}

int HasModalFrame(HWND window)
{
    WINDOWINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    if (!GetWindowInfo(window, &info))
        return 0;
    return (info.dwExStyle & WS_EX_DLGMODALFRAME) != 0;
}

LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && call && HighlightBoxes &&
        GetWindowThreadProcessId(call->hwnd, 0) == GetCurrentThreadId()) {
        // The box gives its procedure back itself when it ends (RedTextProc).
        if (call->message == WM_CREATE && HasModalFrame(call->hwnd))
            SubclassWindow(call->hwnd, RedTextProc);
    }
    return CallNextHookEx(BoxHook, code, wParam, lParam);
}

}  // namespace

int HighlightedMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    HighlightBoxes = 1;
    int answer = MessageBoxA(owner, text, caption, type);
    HighlightBoxes = 0;
    return answer;
}

void InstallBoxHook()
{
    BoxHook = SetWindowsHookExA(WH_CALLWNDPROC, BoxHookProc, 0, GetCurrentThreadId());
}

void RemoveBoxHook()
{
    if (BoxHook)
        UnhookWindowsHookEx(BoxHook);
    BoxHook = 0;
}
