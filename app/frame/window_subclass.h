// Subclassing without a slot table: a subclassed window keeps its previous
// window procedure on itself, in the window property PREVIOUS_PROC_PROPERTY.
#ifndef DORVANE_WINDOW_SUBCLASS_H
#define DORVANE_WINDOW_SUBCLASS_H

#include <windows.h>

#define PREVIOUS_PROC_PROPERTY "DorvanePreviousProc"

// The procedure the window had before it was subclassed; 0 when it is not.
WNDPROC PreviousProc(HWND window);
// Gives window the procedure proc; a window subclassed already is left as it
// is. Returns 1 when window now runs proc.
int SubclassWindow(HWND window, WNDPROC proc);
// Gives a subclassed window its previous procedure back and removes the
// property, which must not outlive the window.
void RestoreWindow(HWND window);

#endif
