// The Save Backup page: proposes a backup file in the temporary folder,
// lets the user change it, then reads the card and saves the backup.
#include <windows.h>

#include "backup_name.h"
#include "backup_next.h"
#include "command_line.h"
#include "file_choosers.h"
#include "page_frame.h"
#include "page_keys.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_pages.h"
#include "wizard_state.h"
#include "wizard_host.h"
#include "write_sequence.h"

namespace {

const int KeyControls[] = {IDOK, IDC_BACK, IDCANCEL, IDC_BACKUP_PATH, IDC_BROWSE, IDC_SKIP_CHECKSUM, IDC_SKIP_BACKUP};
const int KeyControlCount = sizeof KeyControls / sizeof KeyControls[0];

void EnablePathControls(HWND page)
{
    BOOL on = TheWizard.BackupEnabled ? TRUE : FALSE;
    EnableWindow(GetDlgItem(page, IDC_BACKUP_PATH), on);
    EnableWindow(GetDlgItem(page, IDC_BROWSE), on);
}

void DefaultBackupName()
{
    char prefix[BackupPrefixSize];
    BackupPrefix(TheWizard.SelectedDevice, prefix, sizeof prefix);
    char tempPath[MAX_PATH + 1];
    DWORD got = GetTempPathA(MAX_PATH, tempPath);
    ChooseBackupFolder(got && got < MAX_PATH ? tempPath : 0, TheWizard.BackupFolder);
    char tempName[MAX_PATH + 1];
    int created = GetTempFileNameA(TheWizard.BackupFolder, prefix, 0, tempName) != 0;
    if (created)
        DeleteFileA(tempName);  // only the name is wanted
    FinishBackupName(created ? tempName : 0, TheWizard.BackupPath);
}

void InitBackupPage(HWND page)
{
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    SubclassPageControls(page, KeyControls, KeyControlCount);
    DefaultBackupName();
    SetDlgItemTextA(page, IDC_BACKUP_PATH, TheWizard.BackupPath);
    CheckDlgButton(page, IDC_SKIP_BACKUP, TheWizard.BackupEnabled ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(page, IDC_SKIP_CHECKSUM, TheWizard.ValidateCurrentImage ? BST_UNCHECKED : BST_CHECKED);
    ClearHiddenControls();
    HiddenControls[0] = GetDlgItem(page, IDC_SKIP_BACKUP);
    HiddenControls[1] = GetDlgItem(page, IDC_SKIP_CHECKSUM);
    if (OptionFlags.DevMode)
        RevealHiddenControls();
    EnablePathControls(page);
}

void Browse(HWND page)
{
    char title[TextBufferSize];
    LookupText(TextBrowseBackupFolder, title);
    BrowseForFolder(page, title, TextInvalidFolder, TheWizard.BackupFolder);
    GetDlgItemTextA(page, IDC_BACKUP_PATH, TheWizard.BackupPath, WizardPathSize);
    char joined[WizardPathSize];
    if (!JoinBackupPath(TheWizard.BackupFolder, TheWizard.BackupPath, joined, sizeof joined)) {
        TellUser(page, TextBadBackupPath, BoxOk | BoxIconInformation);
        return;
    }
    CopyText(TheWizard.BackupPath, WizardPathSize, joined);
    SetDlgItemTextA(page, IDC_BACKUP_PATH, TheWizard.BackupPath);
}

void Next(HWND page)
{
    char typed[WizardPathSize + 1] = "";
    GetDlgItemTextA(page, IDC_BACKUP_PATH, typed, sizeof typed);
    switch (BackupPageNext(&TheSession, WizardHostInUse(), page, typed)) {
    case BackupStay: return;
    case BackupEndRun: LeavePage(page, WM_CLOSE); return;
    case BackupToImagePage: LeavePage(page, WMU_SELECT_BIOS); return;
    case BackupToReadErrorPage: LeavePage(page, WMU_SELECT_BIOS2); return;
    }
}

int Ticked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

}  // namespace

INT_PTR CALLBACK BackupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_CLOSE)
        ClearHiddenControls();
    if (PageConvention(page, message, wParam, KeyControls, KeyControlCount))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG: InitBackupPage(page); return TRUE;
    case WM_DESTROY:
        ClearHiddenControls();  // no handle of a gone page may be shown later
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SKIP_BACKUP:
            TheWizard.BackupEnabled = Ticked(page, IDC_SKIP_BACKUP) ? 0 : 1;
            EnablePathControls(page);
            return TRUE;
        case IDC_SKIP_CHECKSUM: TheWizard.ValidateCurrentImage = Ticked(page, IDC_SKIP_CHECKSUM) ? 0 : 1; return TRUE;
        case IDC_BROWSE: Browse(page); return TRUE;
        case IDOK: Next(page); return TRUE;
        case IDC_BACK: {
            int showDevices = TheWizard.DeviceList.Count >= 2 || OptionFlags.ForceDevList;
            LeavePage(page, showDevices ? WMU_DETECT : WMU_START);
            return TRUE;
        }
        }
        return FALSE;
    }
    return FALSE;
}
