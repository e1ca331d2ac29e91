// The first page: greets the user with the product name and leads on to
// device detection.
#include "format_text.h"
#include "page_frame.h"
#include "page_keys.h"
#include "program_globals.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_pages.h"

namespace {

struct ConfiguredText {
    const TextRef& text;
    int control;
};

// The controls that take the page keys.
const int KeyControls[] = {IDOK, IDCANCEL};
const int KeyControlCount = sizeof KeyControls / sizeof KeyControls[0];

// Texts that replace the page's own only when setup.cfg gives them.
const ConfiguredText WelcomeTexts[] = {
    {TextWelcomeMsg1, IDC_WELCOME_LINE},
    {TextWelcomeMsg2, IDC_WELCOME_CLICK},
    {TextWelcomeMsg3, IDC_WELCOME_LEGAL1},
    {TextWelcomeMsg4, IDC_WELCOME_LEGAL2},
};

void InitWelcome(HWND page)
{
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    char format[TextBufferSize];
    char text[TextBufferSize];
    LookupText(TextWelcomeTxt, format);
    FormatText(text, sizeof text, format, ProductName, ProductName);
    SetDlgItemTextA(page, IDC_WELCOME_LINE, text);
    for (const ConfiguredText& t : WelcomeTexts)
        if (LookupText(t.text, text))
            SetDlgItemTextA(page, t.control, text);
    SubclassPageControls(page, KeyControls, KeyControlCount);
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    if (PageConvention(page, message, wParam, KeyControls, KeyControlCount))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG: InitWelcome(page); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            LeavePage(page, WMU_DETECT);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
