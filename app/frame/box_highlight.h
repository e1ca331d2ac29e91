// Message boxes with their text in dark red, for the warnings that must not
// be missed.
#ifndef DORVANE_BOX_HIGHLIGHT_H
#define DORVANE_BOX_HIGHLIGHT_H

#include <windows.h>

extern int HighlightBoxes;

// Message box with its text in dark red: HighlightBoxes is set around it.
int HighlightedMessageBox(HWND owner, const char* text, const char* caption, UINT type);

void InstallBoxHook();
void RemoveBoxHook();

#endif
