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

int WelcomeCommand(HWND page, WPARAM wParam)
{
    if (LOWORD(wParam) != IDOK)
        return 0;
    LeavePage(page, WMU_DETECT);
    return 1;
}

const PageAnswers Answers = {KeyControls, KeyControlCount, InitWelcome, WelcomeCommand};

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    return AnswerPage(page, message, wParam, Answers);
}
