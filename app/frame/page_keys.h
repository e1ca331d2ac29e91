// Keys that mean the same on every page (F1 About, F3 exit question,
// Ctrl+Shift+F1 developer mode), through subclassed page controls.
#ifndef DORVANE_PAGE_KEYS_H
#define DORVANE_PAGE_KEYS_H

#include <windows.h>

enum { ControlSlotCount = 8, HiddenControlCount = 4 };

// Slot n (1 to 8) holds the previous procedure of the control that the current
// page subclassed through it.
extern WNDPROC ControlProcSlots[ControlSlotCount + 1];
extern HWND HiddenControls[HiddenControlCount];

LRESULT PageKeyProc(WNDPROC previous, HWND control, UINT message, WPARAM wParam, LPARAM lParam);

// Subclass a page control through slot 1..8, and give it back its procedure.
void SubclassControl(int slot, HWND control);
void RestoreControl(int slot, HWND control);
// The same by control id of a page.
void SubclassPageControl(HWND page, int slot, int controlId);
void RestorePageControl(HWND page, int slot, int controlId);

// Control ids[i] goes through slot i + 1.
void SubclassPageControls(HWND page, const int *ids, int count);
void RestorePageControls(HWND page, const int *ids, int count);

void ClearHiddenControls();
// Shows every registered hidden control (developer mode).
void RevealHiddenControls();

#endif
