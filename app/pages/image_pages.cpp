// The two Select BIOS pages: the standard one after a good read of the
// card, and the one after a read error, which does not merge by default and
// asks for a file.
#include <windows.h>

#include "command_line.h"
#include "file_choosers.h"
#include "image_load.h"
#include "page_frame.h"
#include "page_keys.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_pages.h"
#include "wizard_host.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

// The controls that take the page keys; the standard page also has the
// last, the merge box.
const int KeyControls[] = {IDOK,           IDC_BACK,   IDCANCEL,      IDC_DEFAULT_IMAGE, IDC_SPECIFIC_IMAGE,
                           IDC_IMAGE_PATH, IDC_BROWSE, IDC_DONT_MERGE};

int KeyControlCount(ImagePageKind kind)
{
    return kind == StandardImagePage ? 8 : 7;
}

struct FlagBox {
    int Control;
    int32_t WizardState::*Flag;
};

const FlagBox StandardBoxes[] = {{IDC_DONT_MERGE, &WizardState::DontMerge},
                                 {IDC_IGNORE_CHECKSUM, &WizardState::IgnoreChecksum}};
const FlagBox ReadErrorBoxes[] = {{IDC_MERGE_AFTER_ERROR, &WizardState::MergeAfterReadError},
                                  {IDC_IGNORE_AFTER_ERROR, &WizardState::IgnoreChecksumAfterReadError}};

const FlagBox* BoxesOf(ImagePageKind kind)
{
    return kind == StandardImagePage ? StandardBoxes : ReadErrorBoxes;
}

void EnableFileControls(HWND page, BOOL on)
{
    EnableWindow(GetDlgItem(page, IDC_IMAGE_PATH), on);
    EnableWindow(GetDlgItem(page, IDC_BROWSE), on);
}

void HideRadioButtons(HWND page)
{
    ShowWindow(GetDlgItem(page, IDC_DEFAULT_IMAGE), SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_SPECIFIC_IMAGE), SW_HIDE);
}

void InitImagePage(HWND page, ImagePageKind kind)
{
    int inBuilt = TheWizard.InBuiltImageAvailable;
    if (kind == StandardImagePage && inBuilt) {
        CheckDlgButton(page, IDC_DEFAULT_IMAGE, BST_CHECKED);
        EnableFileControls(page, FALSE);
    } else {
        CheckDlgButton(page, IDC_SPECIFIC_IMAGE, BST_CHECKED);
        if (inBuilt)
            EnableFileControls(page, TRUE);
        else
            HideRadioButtons(page);
    }
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    SubclassPageControls(page, KeyControls, KeyControlCount(kind));

    const FlagBox* boxes = BoxesOf(kind);
    ClearHiddenControls();
    for (int i = 0; i < 2; ++i) {
        CheckDlgButton(page, boxes[i].Control, TheWizard.*boxes[i].Flag ? BST_CHECKED : BST_UNCHECKED);
        HiddenControls[i] = GetDlgItem(page, boxes[i].Control);
    }
    if (kind == ReadErrorImagePage && inBuilt) {
        HiddenControls[2] = GetDlgItem(page, IDC_SPECIFIC_IMAGE);
        HiddenControls[3] = GetDlgItem(page, IDC_DEFAULT_IMAGE);
    }
    if (OptionFlags.DevMode)
        RevealHiddenControls();
}

void Browse(HWND page)
{
    char title[TextBufferSize];
    LookupText(TextSelectBiosImage, title);
    char name[MAX_PATH];
    if (ChooseImageFile(page, title, 0, name))
        SetDlgItemTextA(page, IDC_IMAGE_PATH, name);
}

void Next(HWND page, ImagePageKind kind)
{
    int specific = IsDlgButtonChecked(page, IDC_SPECIFIC_IMAGE) == BST_CHECKED;
    char name[MAX_PATH] = "";
    if (specific)
        GetDlgItemTextA(page, IDC_IMAGE_PATH, name, sizeof name);
    ImageNextResult result = ImagePageNext(&TheSession, WizardHostInUse(), page, kind, specific, name, 1);
    if (result == ImageStayInFile || (result == ImageTooLongForChip && specific)) {
        SetFocus(GetDlgItem(page, IDC_IMAGE_PATH));
        return;
    }
    if (SkipExitConfirm) {
        LeavePage(page, WM_CLOSE);
        return;
    }
    if (result == ImageWritten) {
        PostMessageA(MainWindow, WMU_FINISH, 0, 0);
        DestroyWindow(page);
    }
}

INT_PTR ImagePage(HWND page, UINT message, WPARAM wParam, ImagePageKind kind)
{
    if (message == WM_CLOSE)
        ClearHiddenControls();
    if (PageConvention(page, message, wParam, KeyControls, KeyControlCount(kind)))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG: InitImagePage(page, kind); return TRUE;
    case WM_DESTROY:
        ClearHiddenControls();  // no handle of a gone page may be shown later
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if ((id == IDC_DEFAULT_IMAGE || id == IDC_SPECIFIC_IMAGE) && HIWORD(wParam) == BN_CLICKED) {
            if (TheWizard.InBuiltImageAvailable)
                EnableFileControls(page, id == IDC_SPECIFIC_IMAGE && IsDlgButtonChecked(page, id) == BST_CHECKED);
            return TRUE;
        }
        const FlagBox* boxes = BoxesOf(kind);
        for (int i = 0; i < 2; ++i)
            if (id == boxes[i].Control) {
                TheWizard.*boxes[i].Flag = IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0;
                return TRUE;
            }
        switch (id) {
        case IDC_BROWSE: Browse(page); return TRUE;
        case IDOK: Next(page, kind); return TRUE;
        case IDC_BACK: LeavePage(page, WMU_BACKUP); return TRUE;
        }
        return FALSE;
    }
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK ImagePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    return ImagePage(page, message, wParam, StandardImagePage);
}

INT_PTR CALLBACK ImagePageAfterReadErrorProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    return ImagePage(page, message, wParam, ReadErrorImagePage);
}
