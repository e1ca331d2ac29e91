// The program's WizardHost: the wizard's logic reaches the driver through
// DriverHandle and the user through message boxes captioned with the
// installer title.
#include <windows.h>

#include "box_highlight.h"
#include "driver_loading.h"
#include "page_frame.h"
#include "program_globals.h"
#include "main_window.h"
#include "wizard_host.h"

static_assert(BoxOkCancel == MB_OKCANCEL && BoxYesNo == MB_YESNO && BoxIconError == MB_ICONERROR &&
                  BoxIconWarning == MB_ICONWARNING && BoxIconInformation == MB_ICONINFORMATION &&
                  BoxDefaultSecond == MB_DEFBUTTON2,
              "box kinds are the Win32 values");
static_assert(AnswerOk == IDOK && AnswerCancel == IDCANCEL && AnswerYes == IDYES && AnswerNo == IDNO,
              "answers are the Win32 values");

namespace {

int DriverRequest(uint32_t code, void* record, uint32_t length, uint32_t* returned)
{
    DWORD count = 0;
    BOOL ok = DeviceIoControl(DriverHandle, code, record, length, record, length, &count, 0);
    *returned = count;
    return ok ? 1 : 0;
}

int ShowWin32Box(void* owner, const char* text, const char* caption, uint32_t type, int highlight)
{
    HWND window = static_cast<HWND>(owner);
    if (!caption)
        caption = InstallerTitle;
    if (highlight)
        return HighlightedMessageBox(window, text, caption, type);
    return MessageBoxA(window, text, caption, type);
}

void EndRunWithoutAsking()
{
    SkipExitConfirm = 1;
}

// The program's steps are its pages: a flash session tells it nothing more.
const WizardHost ProgramHost = {DriverRequest, ShowWin32Box, EndRunWithoutAsking, 0};

}  // namespace

void UseProgramHosts()
{
    UseWizardHost(&ProgramHost);
    UsePageHost(&ProgramPageHost);
}
