// What the device, backup and image pages do alike with their controls:
// subclass them slot by slot for the page keys, give them back their
// procedures, and leave the page for the next one.
#ifndef DORVANE_PAGE_CONTROLS_H
#define DORVANE_PAGE_CONTROLS_H

#include <windows.h>

// Control ids[i] goes through slot i + 1.
void SubclassPageControls(HWND page, const int *ids, int count);
void RestorePageControls(HWND page, const int *ids, int count);

// Destroys the page and posts message to the main window.
void LeavePage(HWND page, UINT message);

#endif
