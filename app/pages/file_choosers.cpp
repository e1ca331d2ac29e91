#include "file_choosers.h"

#include <commdlg.h>
#include <shlobj.h>

#include "program_globals.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_host.h"

void BrowseForFolder(HWND owner, const char* title, const TextRef& refusal, char* folder)
{
    CoInitialize(0);
    IMalloc* allocator = 0;
    SHGetMalloc(&allocator);
    // The chooser writes its display name even when cancelled: a buffer of
    // its own keeps the folder as it was.
    char displayName[MAX_PATH];
    for (;;) {
        BROWSEINFOA info = {};
        info.hwndOwner = owner;
        info.pszDisplayName = displayName;
        info.lpszTitle = title;
        LPITEMIDLIST items = SHBrowseForFolderA(&info);
        if (!items)
            break;  // cancelled: folder as it was
        folder[0] = 0;
        if (!SHGetPathFromIDListA(items, folder))
            folder[0] = 0;
        if (allocator)
            allocator->Free(items);
        if (folder[0])
            break;
        TellUser(owner, refusal, BoxOk, 0, InstallerTitle);
    }
    if (allocator)
        allocator->Release();
    CoUninitialize();
}

int ChooseImageFile(HWND owner, const char* title, const char* folder, char* name)
{
    // "text|pattern|text|pattern||" becomes the NUL-separated filter list.
    char filter[TextBufferSize + 2] = {};
    LookupText(TextOpenFilter, filter, TextBufferSize);
    for (char* p = filter; *p; ++p)
        if (*p == '|')
            *p = 0;
    name[0] = 0;
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_SHAREAWARE;
    if (GetOpenFileNameA(&dialog))
        return 1;
    name[0] = 0;
    return 0;
}
