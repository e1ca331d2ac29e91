// The Select Device page: one line per card the driver found, More info
// with the chosen card's BIOS version text, Next to the backup page.
#include <windows.h>

#include "card_types.h"
#include "command_line.h"
#include "device_detection.h"
#include "fixed_texts.h"
#include "page_frame.h"
#include "page_keys.h"
#include "program_globals.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_pages.h"
#include "wizard_state.h"
#include "wizard_host.h"

namespace {

// The controls that take the page keys.
const int KeyControls[] = {IDOK, IDC_BACK, IDCANCEL, IDC_DEVICE_LIST, IDC_MORE_INFO};
const int KeyControlCount = sizeof KeyControls / sizeof KeyControls[0];

void InitDevicePage(HWND page)
{
    HWND list = GetDlgItem(page, IDC_DEVICE_LIST);
    const PELMIX_DEVICE_LIST& devices = TheWizard.DeviceList;
    for (uint32_t i = 0; i < devices.Count && i < PELMIX_MAX_DEVICES; ++i) {
        char line[TextBufferSize];
        CardListLine(&devices.Entries[i], line, sizeof line);
        SendMessageA(list, LB_INSERTSTRING, WPARAM(-1), LPARAM(line));
    }
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    SubclassPageControls(page, KeyControls, KeyControlCount);
    EnableWindow(GetDlgItem(page, IDOK), FALSE);
    EnableWindow(GetDlgItem(page, IDC_MORE_INFO), FALSE);
}

int Selection(HWND page)
{
    return int(SendDlgItemMessageA(page, IDC_DEVICE_LIST, LB_GETCURSEL, 0, 0));
}

void MoreInfo(HWND page)
{
    TellUser(page, TextGetBiosInfo, BoxOk);
    TheWizard.SelectedDevice = Selection(page);
    if (TheWizard.SelectedDevice == -1) {
        EnableWindow(GetDlgItem(page, IDC_MORE_INFO), FALSE);
        return;
    }
    char text[VersionTextSize] = "";
    ReadCardVersion(WizardHostInUse(), TheWizard.SelectedDevice, text);
    if (text[0])
        SetDlgItemTextA(page, IDC_DEVICE_INFO, text);
}

void Next(HWND page)
{
    TheWizard.SelectedDevice = Selection(page);
    if (TheWizard.SelectedDevice == -1) {
        ShowBox(page, NoDeviceSelected, ProgrammerCaption, BoxIconWarning);
        return;
    }
    LeavePage(page, WMU_BACKUP);
}

int DeviceCommand(HWND page, WPARAM wParam)
{
    if (LOWORD(wParam) == IDC_DEVICE_LIST && HIWORD(wParam) == LBN_SELCHANGE) {
        EnableWindow(GetDlgItem(page, IDOK), TRUE);
        EnableWindow(GetDlgItem(page, IDC_MORE_INFO), TRUE);
        SetDlgItemTextA(page, IDC_DEVICE_INFO, "");
    }
    switch (LOWORD(wParam)) {
    case IDC_MORE_INFO: MoreInfo(page); return 1;
    case IDOK: Next(page); return 1;
    case IDC_BACK: LeavePage(page, WMU_START); return 1;
    }
    return 0;
}

const PageAnswers Answers = {KeyControls, KeyControlCount, InitDevicePage, DeviceCommand};

}  // namespace

int StartDeviceSelection(HWND owner)
{
    switch (DetectDevices(WizardHostInUse(), owner)) {
    case DetectEndRun: return 0;
    case DetectOneCard: PostMessageA(owner, WMU_BACKUP, 0, 0); return 1;
    case DetectShowPage: break;
    }
    if (CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_DEVICE), owner, DevicePageProc, 0))
        return 1;
    char caption[TextBufferSize];
    LookupText(TextWarningTitle, caption);
    TellUser(owner, TextNoWinOpen, BoxOk | BoxIconWarning, 0, caption);
    return 0;
}

INT_PTR CALLBACK DevicePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    return AnswerPage(page, message, wParam, Answers);
}
