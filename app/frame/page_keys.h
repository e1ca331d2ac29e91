// Keys that mean the same on every page (F1 About, F3 exit question,
// Ctrl+Shift+F1 developer mode), through subclassed page controls
// (window_subclass.h).
#ifndef DORVANE_PAGE_KEYS_H
#define DORVANE_PAGE_KEYS_H

#include "window_subclass.h"

enum { HiddenControlCount = 4 };

extern HWND HiddenControls[HiddenControlCount];

LRESULT PageKeyProc(WNDPROC previous, HWND control, UINT message, WPARAM wParam, LPARAM lParam);

// Gives control the page keys; one that has them already is left as it is.
void SubclassControl(HWND control);
// Gives a subclassed control its previous procedure back (it also gets it
// back when it is destroyed).
void RestoreControl(HWND control);

// The same for the listed controls of a page.
void SubclassPageControls(HWND page, const int* ids, int count);
void RestorePageControls(HWND page, const int* ids, int count);

void ClearHiddenControls();
// Shows every registered hidden control (developer mode).
void RevealHiddenControls();

#endif
