#include "page_keys.h"

#include "command_line.h"
#include "page_frame.h"

WNDPROC ControlProcSlots[ControlSlotCount + 1];
HWND HiddenControls[HiddenControlCount];

namespace {

int KeyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

// One forwarder per slot: what a subclassed control gets as its procedure.
template <int Slot>
LRESULT CALLBACK SlotForwarder(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PageKeyProc(ControlProcSlots[Slot], control, message, wParam, lParam);
}

const WNDPROC kForwarders[ControlSlotCount + 1] = {
    0,
    SlotForwarder<1>, SlotForwarder<2>, SlotForwarder<3>, SlotForwarder<4>,
    SlotForwarder<5>, SlotForwarder<6>, SlotForwarder<7>, SlotForwarder<8>,
};

int ValidSlot(int slot) { return slot >= 1 && slot <= ControlSlotCount; }

}  // namespace

LRESULT PageKeyProc(WNDPROC previous, HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_F1) {
        if (KeyDown(VK_SHIFT) && KeyDown(VK_CONTROL)) {
            OptionFlags.DevMode = 1;
            RevealHiddenControls();
        } else {
            ThePageHost.ShowAbout(GetParent(control));
        }
    }
    if (message == WM_KEYDOWN && wParam == VK_F3) {
        HWND page = GetParent(control);
        if (ThePageHost.ConfirmExit(MainWindow))
            return 0;  // the control is gone with the program's windows
        SetActiveWindow(page);
    }
    return CallWindowProcA(previous, control, message, wParam, lParam);
}

void SubclassControl(int slot, HWND control)
{
    if (!ValidSlot(slot) || !control)
        return;
    ControlProcSlots[slot] = (WNDPROC)GetWindowLongPtrA(control, GWLP_WNDPROC);
    SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)kForwarders[slot]);
}

void RestoreControl(int slot, HWND control)
{
    if (!ValidSlot(slot) || !control || !ControlProcSlots[slot])
        return;
    SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)ControlProcSlots[slot]);
}

void SubclassPageControl(HWND page, int slot, int controlId)
{
    SubclassControl(slot, GetDlgItem(page, controlId));
}

void RestorePageControl(HWND page, int slot, int controlId)
{
    RestoreControl(slot, GetDlgItem(page, controlId));
}

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
