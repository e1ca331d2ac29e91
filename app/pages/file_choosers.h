// The system's folder chooser and file-open dialog as the pages use them.
#ifndef DORVANE_FILE_CHOOSERS_H
#define DORVANE_FILE_CHOOSERS_H

#include <windows.h>

struct TextRef;

// folder (260 bytes) gets the chosen folder's path; unchanged on cancel. A
// choice without a file-system path shows refusal and asks again.
void BrowseForFolder(HWND owner, const char* title, const TextRef& refusal, char* folder);

// 1 with the full path of an existing file in name (260 bytes), 0 when the
// user cancelled (name then empty). folder 0: the dialog's own choice.
int ChooseImageFile(HWND owner, const char* title, const char* folder, char* name);

#endif
