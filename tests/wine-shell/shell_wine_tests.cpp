// Win32 tests of the shell, run under Wine: the string table and the page
// templates as the program's resources hold them, the text lookup over the
// real string table, text formatting against wsprintfA, the pages' answer to
// activation, control subclassing, highlighted boxes, the prefix's system
// fonts, the system's version code, and the driver's loading over a
// stand-in service manager.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "box_highlight.h"
#include "driver_loading.h"
#include "driver_service.h"
#include "format_cases.h"
#include "format_text.h"
#include "inbuilt_image.h"
#include "main_window.h"
#include "os_version.h"
#include "page_frame.h"
#include "page_keys.h"
#include "page_templates.h"
#include "program_globals.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "dorvane_version.h"
#include "user_texts.h"
#include "wizard_host.h"
#include "wizard_pages.h"
#include "wizard_state.h"

namespace {

int Failures;

#define CHECK(cond, ...)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            printf("FAIL %s:%d: ", __FILE__, __LINE__);                                                                \
            printf(__VA_ARGS__);                                                                                       \
            printf("\n");                                                                                              \
            ++Failures;                                                                                                \
        }                                                                                                              \
    } while (0)

// The string-table text of id as texts.txt gives it; "" when it has none.
const char* TableText(unsigned id)
{
    for (const StringTableText& t : StringTableTexts)
        if (t.Id == id)
            return t.Text;
    return "";
}

void TestStringTable()
{
    char text[TextBufferSize];
    // The resources hold the table's strings and no other in their range.
    unsigned first = StringTableTexts[0].Id, last = first;
    for (const StringTableText& t : StringTableTexts) {
        first = t.Id < first ? t.Id : first;
        last = t.Id > last ? t.Id : last;
    }
    int present = 0;
    for (unsigned id = first; id <= last; ++id)
        if (LoadStringA(ProgramInstance, id, text, sizeof text) > 0)
            ++present;
    const int count = sizeof StringTableTexts / sizeof StringTableTexts[0];
    CHECK(present == count, "%d strings in %u-%u, expected the table's %d", present, first, last, count);
    // Every text as texts.txt gives it: line breaks, doubled blanks, bars and
    // the kept typos are easy to get wrong in a resource script.
    for (const StringTableText& c : StringTableTexts) {
        LoadStringA(ProgramInstance, c.Id, text, sizeof text);
        CHECK(strcmp(text, c.Text) == 0, "string %u is \"%s\"", c.Id, text);
    }
    const char about[] = "%s BIOS Programmer\nVersion %s\n\n";
    LoadStringA(ProgramInstance, TextAboutString.Id, text, sizeof text);
    CHECK(strncmp(text, about, strlen(about)) == 0 && strlen(text) > strlen(about) &&
              !strchr(text + strlen(about), '\n'),
          "About text \"%s\"", text);
}

void TestLookupOverStringTable()
{
    char text[TextBufferSize];
    ConfigPath[0] = 0;
    // A text whose built-in default differs: the string table's wins.
    const char* table = TableText(TextReadBiosTitle.Id);
    CHECK(strcmp(table, TextReadBiosTitle.Default) != 0 && LookupText(TextReadBiosTitle, text) == int(strlen(table)) &&
              strcmp(text, table) == 0,
          "string table text \"%s\"", text);
    CHECK(LookupText(1004, "Unused", "the default", text) == 0 && strcmp(text, "the default") == 0,
          "an id the table lacks gives \"%s\"", text);
    // One text that just fits a small buffer, one that is cut.
    char small[6], want[sizeof small];
    const TextRef* const refs[] = {&TextProductName, &TextWelcomeTxt};
    for (const TextRef* ref : refs) {
        snprintf(want, sizeof want, "%s", TableText(ref->Id));
        LookupText(*ref, small, sizeof small);
        CHECK(strcmp(small, want) == 0, "cut to the buffer: \"%s\", expected \"%s\"", small, want);
    }
}

// wsprintfA with the one argument of a case.
void Reference(char* out, const char* format, const FormatCase& c)
{
    if (c.Text)
        wsprintfA(out, format, c.Text);
    else
        wsprintfA(out, format, int(c.Number));
}

// An accepted conversion gives exactly wsprintfA's output; a refused one is
// shown as written and leaves its argument to the next conversion.
void TestFormatAgainstWsprintfA()
{
    static char want[1024], got[2048];
    char format[64];
    for (const FormatCase& c : FormatCases) {
        FormatArg arg = c.Text ? FormatArg(c.Text) : FormatArg(c.Number);
        FormatText(got, sizeof got, c.Format, arg);
        if (!c.Refused) {
            Reference(want, c.Format, c);
            CHECK(strcmp(got, want) == 0 && strcmp(got, c.Expected) == 0,
                  "\"%s\": \"%s\", wsprintfA \"%s\", table \"%s\"", c.Format, got, want, c.Expected);
            continue;
        }
        CHECK(strcmp(got, c.Format) == 0, "refused \"%s\" shows \"%s\"", c.Format, got);
        wsprintfA(format, c.Text ? "%s|%%s" : "%s|%%d", c.Format);
        FormatText(got, sizeof got, format, arg);
        wsprintfA(want, c.Text ? "%s|%s" : "%s|%d", c.Format, c.Text ? (INT_PTR)c.Text : (INT_PTR) int(c.Number));
        CHECK(strcmp(got, want) == 0, "refused \"%s\" read the argument: \"%s\"", c.Format, got);
    }

    // Two arguments, and results that reach wsprintfA's limit or the buffer's.
    FormatText(got, sizeof got, "error %04d: [%-12s] %lX", FormatArg(5), "Pelmix.sys");
    wsprintfA(want, "error %04d: [%-12s] ", 5, "Pelmix.sys");
    lstrcatA(want, "%lX");
    CHECK(strcmp(got, want) == 0, "two arguments: \"%s\", expected \"%s\"", got, want);
    FormatText(got, sizeof got, "%2000d", FormatArg(5));
    wsprintfA(want, "%2000d", 5);
    CHECK(strcmp(got, want) == 0 && strlen(got) == 1023, "a wide number: %u characters, wsprintfA %u",
          (unsigned)strlen(got), (unsigned)strlen(want));
    static char half[701];
    memset(half, 'h', 700);
    FormatText(got, sizeof got, "%s|%-800s|", half, half);
    wsprintfA(want, "%s|%-800s|", half, half);
    CHECK(strcmp(got, want) == 0, "long texts: %u characters, wsprintfA %u", (unsigned)strlen(got),
          (unsigned)strlen(want));
    FormatText(got, 10, "code %#08x", FormatArg(0xBEEF));
    wsprintfA(want, "code %#08x", 0xBEEF);
    want[9] = 0;
    CHECK(strcmp(got, want) == 0, "cut to ten bytes: \"%s\", expected \"%s\"", got, want);
}

// Every page notes itself as the active page, or none, and says it handled
// the message.
void TestPagesAnswerActivation()
{
    struct {
        const char* name;
        DLGPROC proc;
    } const pages[] = {
        {"Welcome", WelcomePageProc},
        {"device", DevicePageProc},
        {"backup", BackupPageProc},
        {"image", ImagePageProc},
        {"image after a read error", ImagePageAfterReadErrorProc},
        {"Finish", FinishPageProc},
    };
    HWND page = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, 0, 0, ProgramInstance, 0);
    for (const auto& p : pages) {
        ActivePage = 0;
        INT_PTR answer = p.proc(page, WM_ACTIVATE, WA_ACTIVE, 0);
        CHECK(answer == TRUE && ActivePage == page, "%s page: activation answered %d, active page %p", p.name,
              int(answer), (void*)ActivePage);
        answer = p.proc(page, WM_ACTIVATE, WA_INACTIVE, 0);
        CHECK(answer == TRUE && ActivePage == 0, "%s page: deactivation answered %d, active page %p", p.name,
              int(answer), (void*)ActivePage);
    }
    DestroyWindow(page);
}

INT_PTR CALLBACK QuietPage(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A picture or an icon sizes itself to its image, and the etched rule's drawn
// edge adds a pixel or two to its size: for these only the place is compared.
int PlaceOnly(const TemplateControl& c)
{
    unsigned long type = c.Style & SS_TYPEMASK;
    return strcmp(c.Class, "Static") == 0 && (type == SS_BITMAP || type == SS_ICON || type == SS_ETCHEDHORZ);
}

// The control the dialog manager made from a template row: its id, class,
// place and size in pixels, visibility and text.
void CheckControl(HWND page, HWND control, const TemplateControl& c, int templateId)
{
    char text[512];
    int id = GetDlgCtrlID(control);
    CHECK(id == c.Id || (c.Id == -1 && (id == -1 || id == 0xFFFF)), "page %d: control %d where %d was expected",
          templateId, id, c.Id);
    GetClassNameA(control, text, sizeof text);
    CHECK(lstrcmpiA(text, c.Class) == 0, "page %d control %d: class %s", templateId, c.Id, text);
    // Place and size convert to pixels apart, as the dialog manager does.
    RECT want = {c.X, c.Y, c.Width, c.Height};
    MapDialogRect(page, &want);
    want.right += want.left;
    want.bottom += want.top;
    RECT got;
    GetWindowRect(control, &got);
    MapWindowPoints(0, page, (POINT*)&got, 2);
    CHECK(got.left == want.left && got.top == want.top, "page %d control %d at (%ld,%ld), expected (%ld,%ld)",
          templateId, c.Id, got.left, got.top, want.left, want.top);
    // A list box shows whole lines only, so it may be a little lower.
    int listBox = strcmp(c.Class, "ListBox") == 0;
    if (!PlaceOnly(c))
        CHECK(got.right == want.right && (listBox ? got.bottom <= want.bottom : got.bottom == want.bottom),
              "page %d control %d ends at (%ld,%ld), expected (%ld,%ld)", templateId, c.Id, got.right, got.bottom,
              want.right, want.bottom);
    int visible = (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
    CHECK(visible == ((c.Style & WS_VISIBLE) != 0), "page %d control %d: visible %d", templateId, c.Id, visible);
    if (c.Text) {
        GetWindowTextA(control, text, sizeof text);
        CHECK(strcmp(text, c.Text) == 0, "page %d control %d: text \"%s\"", templateId, c.Id, text);
    }
}

// Each page as the dialog manager makes it from the resources, against the
// table the templates are made from (page_templates.h).
void TestPageTemplates()
{
    for (const PageTemplate& p : PageTemplates) {
        HWND page = CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(p.Id), 0, QuietPage, 0);
        CHECK(page != 0, "template %d not created", p.Id);
        if (!page)
            continue;
        char caption[256];
        GetWindowTextA(page, caption, sizeof caption);
        CHECK(strcmp(caption, p.Caption) == 0, "template %d caption \"%s\"", p.Id, caption);
        RECT want = {0, 0, PageWidth, PageHeight};
        MapDialogRect(page, &want);
        RECT client;
        GetClientRect(page, &client);
        CHECK(client.right == want.right && client.bottom == want.bottom, "template %d client %ldx%ld", p.Id,
              client.right, client.bottom);
        LONG style = GetWindowLongA(page, GWL_STYLE);
        CHECK((style & (WS_POPUP | WS_CAPTION | WS_SYSMENU)) == (WS_POPUP | WS_CAPTION | WS_SYSMENU),
              "template %d style %lx", p.Id, (unsigned long)style);
        CHECK(GetWindowLongA(page, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, "template %d has no modal frame", p.Id);
        HWND control = GetWindow(page, GW_CHILD);
        int n = 0;
        for (; n < p.Count; ++n, control = GetWindow(control, GW_HWNDNEXT)) {
            CHECK(control != 0, "template %d: only %d controls", p.Id, n);
            if (!control)
                break;
            CheckControl(page, control, TemplateControls[p.First + n], p.Id);
        }
        CHECK(!control, "template %d: more than %d controls", p.Id, n);
        HWND next = GetDlgItem(page, IDOK);
        CHECK((GetWindowLongA(next, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON, "template %d: button 1 not default", p.Id);
        HWND picture = GetDlgItem(page, IDC_SIDE_PICTURE);
        BITMAP bm;
        HBITMAP bits = (HBITMAP)SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
        CHECK(bits && GetObjectA(bits, sizeof bm, &bm) && bm.bmWidth == 126 && bm.bmHeight == 258,
              "template %d: side picture missing or not 126x258", p.Id);
        DestroyWindow(page);
    }
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC ButtonProc;
int SeenByButton;  // WM_SETTEXT and WM_KEYDOWN that reached the button's own procedure

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT || message == WM_KEYDOWN)
        ++SeenByButton;
    return CallWindowProcA(ButtonProc, window, message, wParam, lParam);
}

// The main window's side of the page keys, recorded instead of shown.
struct {
    int abouts, exits, exitAnswer;
    HWND aboutOwner, exitWindow;
} Keys;

void RecordAbout(HWND owner)
{
    ++Keys.abouts;
    Keys.aboutOwner = owner;
}

int RecordExit(HWND window)
{
    ++Keys.exits;
    Keys.exitWindow = window;
    return Keys.exitAnswer;
}

// A control subclassed for the page keys keeps its previous procedure on
// itself, passes every message on, and gets its procedure back.
void TestSubclassing()
{
    HWND page = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, 0, 0, ProgramInstance, 0);
    HWND button = CreateWindowExA(0, "Button", "x", WS_CHILD, 0, 0, 10, 10, page, (HMENU)IDOK, ProgramInstance, 0);
    ButtonProc = (WNDPROC)SetWindowLongPtrA(button, GWLP_WNDPROC, (LONG_PTR)CountingProc);
    const int ids[] = {IDOK, IDCANCEL};  // IDCANCEL: a control the page lacks
    SubclassPageControls(page, ids, 2);
    WNDPROC forwarder = (WNDPROC)GetWindowLongPtrA(button, GWLP_WNDPROC);
    CHECK(forwarder != CountingProc && GetPropA(button, PREVIOUS_PROC_PROPERTY) == (HANDLE)CountingProc,
          "no forwarder installed, or the previous procedure not kept on the control");
    // Subclassing twice must not make the forwarder its own previous procedure.
    SubclassControl(button);
    CHECK(GetPropA(button, PREVIOUS_PROC_PROPERTY) == (HANDLE)CountingProc, "a second subclass replaced the first");
    SeenByButton = 0;
    SetWindowTextA(button, "through the forwarder");
    char text[64];
    GetWindowTextA(button, text, sizeof text);
    CHECK(SeenByButton == 1 && strcmp(text, "through the forwarder") == 0, "message not passed on (%d)", SeenByButton);

    // F1 asks for the About box for the page; F3 asks the exit question of
    // the main window, and a control whose program is closing hears no more.
    const PageHost recording = {RecordExit, RecordAbout};
    UsePageHost(&recording);
    ZeroMemory(&Keys, sizeof Keys);
    MainWindow = page;
    SeenByButton = 0;
    SendMessageA(button, WM_KEYDOWN, VK_F1, 0);
    CHECK(Keys.abouts == 1 && Keys.aboutOwner == page && Keys.exits == 0 && SeenByButton == 1,
          "F1: %d About box(es) for %p, %d exit question(s), %d key(s) passed on", Keys.abouts, (void*)Keys.aboutOwner,
          Keys.exits, SeenByButton);
    SendMessageA(button, WM_KEYDOWN, VK_F3, 0);
    CHECK(Keys.exits == 1 && Keys.exitWindow == page && SeenByButton == 2,
          "F3 answered no: %d question(s), %d passed on", Keys.exits, SeenByButton);
    Keys.exitAnswer = 1;
    SendMessageA(button, WM_KEYDOWN, VK_F3, 0);
    CHECK(Keys.exits == 2 && SeenByButton == 2, "F3 answered yes: %d question(s), %d passed on", Keys.exits,
          SeenByButton);
    SendMessageA(button, WM_KEYDOWN, 'A', 0);
    CHECK(Keys.abouts == 1 && Keys.exits == 2 && SeenByButton == 3, "another key: %d passed on", SeenByButton);
    UsePageHost(&ProgramPageHost);
    MainWindow = 0;

    // Closing the page gives every control its own procedure back.
    RestorePageControls(page, ids, 2);
    CHECK((WNDPROC)GetWindowLongPtrA(button, GWLP_WNDPROC) == CountingProc && !GetPropA(button, PREVIOUS_PROC_PROPERTY),
          "not restored");
    RestoreControl(button);
    CHECK((WNDPROC)GetWindowLongPtrA(button, GWLP_WNDPROC) == CountingProc, "a second restore changed the procedure");

    // A control destroyed while subclassed takes its property with it.
    SubclassControl(button);
    DestroyWindow(page);
    CHECK(!IsWindow(button), "the button outlived its page");
}

// A helper thread finds the box that the main thread shows, asks it how it
// draws its text, and closes it.
struct BoxProbe {
    DWORD thread;
    int found;
    COLORREF textColour;
    RECT box, text;  // the box's window and its text control's client area
    LOGFONTA font;   // the text control's font
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    char cls[16];
    GetClassNameA(window, cls, sizeof cls);
    // Visible only once MessageBox has laid it out for its text: a box found
    // earlier still has its template's sizes.
    if (strcmp(cls, "#32770") != 0 || !GetDlgItem(window, 0xFFFF) || !IsWindowVisible(window))
        return TRUE;
    *(HWND*)param = window;
    return FALSE;
}

DWORD WINAPI ProbeBox(LPVOID param)
{
    BoxProbe* probe = (BoxProbe*)param;
    HWND box = 0;
    for (int i = 0; i < 100 && !box; ++i) {
        EnumThreadWindows(probe->thread, FindBox, (LPARAM)&box);
        if (!box)
            Sleep(50);
    }
    if (!box)
        return 0;
    probe->found = 1;
    HWND text = GetDlgItem(box, 0xFFFF);
    GetWindowRect(box, &probe->box);
    GetClientRect(text, &probe->text);
    HFONT font = (HFONT)SendMessageA(text, WM_GETFONT, 0, 0);
    if (!font || !GetObjectA(font, sizeof probe->font, &probe->font))
        ZeroMemory(&probe->font, sizeof probe->font);
    HDC dc = CreateCompatibleDC(0);
    SendMessageA(box, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)GetDlgItem(box, 0xFFFF));
    probe->textColour = GetTextColor(dc);
    DeleteDC(dc);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
}

BoxProbe ProbeShownBox(int highlighted, const char* text, UINT type)
{
    BoxProbe probe;
    ZeroMemory(&probe, sizeof probe);
    probe.thread = GetCurrentThreadId();
    HANDLE thread = CreateThread(0, 0, ProbeBox, &probe, 0, 0);
    if (highlighted)
        HighlightedMessageBox(0, text, "Box", type);
    else
        MessageBoxA(0, text, "Box", type);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CHECK(probe.found, "box %d not found", highlighted);
    return probe;
}

COLORREF BoxTextColour(int highlighted)
{
    return ProbeShownBox(highlighted, highlighted ? "highlighted" : "plain", MB_OK).textColour;
}

// Highlighting only colours the text: the box keeps the size, the text
// rectangle and the font that MessageBox measured the text with, so any cut
// of the text is the system's layout and not the program's.
void TestHighlightKeepsLayout()
{
    char format[TextBufferSize], text[2 * TextBufferSize];
    LookupText(TextWriteBios, format);
    FormatText(text, sizeof text, format, FormatArg("ORVEL II AGP Bios Rev 1.02.00.0034"));
    BoxProbe plain = ProbeShownBox(0, text, MB_OKCANCEL | MB_DEFBUTTON2);
    BoxProbe red = ProbeShownBox(1, text, MB_OKCANCEL | MB_DEFBUTTON2);
    CHECK(red.textColour == RGB(180, 0, 0), "the write question is not highlighted");
    CHECK(EqualRect(&plain.text, &red.text) && plain.box.right - plain.box.left == red.box.right - red.box.left &&
              plain.box.bottom - plain.box.top == red.box.bottom - red.box.top,
          "highlighting changes the box: text %ldx%ld, plain %ldx%ld", red.text.right, red.text.bottom,
          plain.text.right, plain.text.bottom);
    CHECK(memcmp(&plain.font, &red.font, sizeof plain.font) == 0 && plain.font.lfHeight != 0,
          "highlighting changes the text's font: %s %ld, plain %s %ld", red.font.lfFaceName, red.font.lfHeight,
          plain.font.lfFaceName, plain.font.lfHeight);
}

// The prefix holds the faces Windows draws with: Marlett for the window
// buttons (a substitute shows its letters, "0 2 r"), the dialog fonts.
void TestSystemFonts()
{
    const char* faces[] = {"Marlett", "MS Sans Serif", "Tahoma"};
    HDC dc = CreateCompatibleDC(0);
    for (const char* face : faces) {
        HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                 strcmp(face, "Marlett") == 0 ? SYMBOL_CHARSET : DEFAULT_CHARSET, 0, 0, 0, 0, face);
        HGDIOBJ old = SelectObject(dc, font);
        char got[LF_FACESIZE] = "";
        GetTextFaceA(dc, sizeof got, got);
        CHECK(lstrcmpiA(got, face) == 0, "font %s is drawn as %s", face, got);
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

void TestHighlightedBoxes()
{
    InstallBoxHook();
    CHECK(BoxTextColour(1) == RGB(180, 0, 0), "highlighted box text colour %06lx", (unsigned long)BoxTextColour(1));
    CHECK(HighlightBoxes == 0, "HighlightBoxes left set");
    CHECK(BoxTextColour(0) != RGB(180, 0, 0), "a plain box is drawn in red");
    TestHighlightKeepsLayout();
    RemoveBoxHook();
    CHECK(BoxTextColour(1) != RGB(180, 0, 0), "highlighted without the hook");
}

void TestCenterOnScreen()
{
    HWND window = CreateWindowExA(0, "Static", "", WS_POPUP, 3, 5, 101, 51, 0, 0, ProgramInstance, 0);
    CenterOnScreen(window);
    RECT r;
    GetWindowRect(window, &r);
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 101 / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - 51 / 2;
    CHECK(r.left == x && r.top == y && r.right - r.left == 101 && r.bottom - r.top == 51,
          "centred at (%ld,%ld) %ldx%ld, expected (%d,%d) 101x51", r.left, r.top, r.right - r.left, r.bottom - r.top, x,
          y);
    DestroyWindow(window);
}

void TestVersionResource()
{
    char path[MAX_PATH];
    GetModuleFileNameA(0, path, sizeof path);
    static char data[4096];
    DWORD size = GetFileVersionInfoSizeA(path, 0);
    CHECK(size > 0 && size <= sizeof data && GetFileVersionInfoA(path, 0, sizeof data, data), "no version record");
    VS_FIXEDFILEINFO* fixed = 0;
    UINT len = 0;
    const WORD numbers[4] = {DORVANE_VERSION_NUMBERS};
    if (VerQueryValueA(data, "\\", (void**)&fixed, &len) && fixed)
        CHECK(fixed->dwFileVersionMS == MAKELONG(numbers[1], numbers[0]) &&
                  fixed->dwFileVersionLS == MAKELONG(numbers[3], numbers[2]),
              "file version %lx.%lx", (unsigned long)fixed->dwFileVersionMS, (unsigned long)fixed->dwFileVersionLS);
    else
        CHECK(0, "no fixed version information");
    char* text = 0;
    CHECK(VerQueryValueA(data, "\\StringFileInfo\\040904E4\\FileVersion", (void**)&text, &len) && text &&
              strcmp(text, DORVANE_VERSION_TEXT) == 0,
          "FileVersion text \"%s\"", text ? text : "");
}

void TestVersionCode()
{
    // Wine reports an NT-family system.
    CHECK(GetOsVersionCode() >= 2000, "version code %d", GetOsVersionCode());
}

// A service manager of the test's own behind ServiceControl, so the install
// loop, the start and the removal run without a real one. One service
// "Pelmix" at most; a deleted service goes when its last handle closes.
struct FakeServiceManager {
    // How it behaves.
    DWORD managerError;  // OpenSCManagerA fails with this when non-zero
    DWORD createError;   // CreateServiceA fails with this when non-zero
    DWORD openError;     // OpenServiceA of an existing service fails with this when non-zero
    DWORD startError;    // StartServiceA fails with this when non-zero
    int installed;
    // What it saw.
    int markedForDelete;
    int serviceHandles;  // open handles to the service
    int openHandles;     // every open handle
    int creates, opens, stops, deletes, starts;
    DWORD lastManagerAccess;
    char binaryPath[MAX_PATH];
};
FakeServiceManager Scm;

SC_HANDLE const FakeManager = (SC_HANDLE)0x5C0;
SC_HANDLE const FakeService = (SC_HANDLE)0x5C1;

void ForgetIfDeleted()
{
    if (Scm.markedForDelete && Scm.serviceHandles == 0)
        Scm.installed = 0, Scm.markedForDelete = 0;
}

SC_HANDLE WINAPI FakeOpenManager(LPCSTR machine, LPCSTR database, DWORD access)
{
    Scm.lastManagerAccess = access;
    if (Scm.managerError || machine || !database || strcmp(database, "ServicesActive") != 0) {
        SetLastError(Scm.managerError ? Scm.managerError : ERROR_INVALID_NAME);
        return 0;
    }
    ++Scm.openHandles;
    return FakeManager;
}

SC_HANDLE WINAPI FakeCreate(SC_HANDLE manager, LPCSTR name, LPCSTR display, DWORD access, DWORD type, DWORD start,
                            DWORD errorControl, LPCSTR path, LPCSTR group, LPDWORD tag, LPCSTR dependencies,
                            LPCSTR account, LPCSTR password)
{
    ++Scm.creates;
    CHECK(manager == FakeManager && strcmp(name, "Pelmix") == 0 &&
              strcmp(display, "Lumivex BIOS EEPROM Programming Service") == 0 && access == SERVICE_ALL_ACCESS &&
              type == SERVICE_KERNEL_DRIVER && start == SERVICE_DEMAND_START && errorControl == SERVICE_ERROR_NORMAL &&
              !group && !tag && !dependencies && !account && !password,
          "service created with other settings");
    lstrcpynA(Scm.binaryPath, path, sizeof Scm.binaryPath);
    DWORD error = Scm.createError;
    if (!error && Scm.installed)
        error = Scm.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
    if (error) {
        SetLastError(error);
        return 0;
    }
    Scm.installed = 1;
    ++Scm.serviceHandles, ++Scm.openHandles;
    return FakeService;
}

SC_HANDLE WINAPI FakeOpen(SC_HANDLE manager, LPCSTR name, DWORD access)
{
    ++Scm.opens;
    CHECK(manager == FakeManager && strcmp(name, "Pelmix") == 0 && access == SERVICE_ALL_ACCESS,
          "opened \"%s\" with access %lx", name, (unsigned long)access);
    if (!Scm.installed || Scm.openError) {
        SetLastError(Scm.installed ? Scm.openError : ERROR_SERVICE_DOES_NOT_EXIST);
        return 0;
    }
    ++Scm.serviceHandles, ++Scm.openHandles;
    return FakeService;
}

BOOL WINAPI FakeStart(SC_HANDLE service, DWORD count, LPCSTR* args)
{
    ++Scm.starts;
    CHECK(service == FakeService && count == 0 && !args, "started with other arguments");
    if (Scm.startError) {
        SetLastError(Scm.startError);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FakeControl(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    CHECK(service == FakeService && control == SERVICE_CONTROL_STOP && status, "control %lu", (unsigned long)control);
    ++Scm.stops;
    return TRUE;
}

BOOL WINAPI FakeDelete(SC_HANDLE service)
{
    CHECK(service == FakeService, "deleted a handle that is not the service");
    ++Scm.deletes;
    Scm.markedForDelete = 1;
    return TRUE;
}

BOOL WINAPI FakeClose(SC_HANDLE handle)
{
    CHECK(handle == FakeManager || handle == FakeService, "closed a handle nobody opened");
    CHECK(Scm.openHandles > 0, "closed more handles than were opened");
    --Scm.openHandles;
    if (handle == FakeService)
        --Scm.serviceHandles;
    ForgetIfDeleted();
    return TRUE;
}

const ServiceControlOps FakeServiceControl = {
    FakeOpenManager, FakeCreate, FakeOpen, FakeStart, FakeControl, FakeDelete, FakeClose,
};

// The boxes the driver loading shows, one at a time.
struct ShownBox {
    int count;
    char text[TextBufferSize];
    char caption[TextBufferSize];
    UINT type;
};
ShownBox Shown;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    ++Shown.count;
    lstrcpynA(Shown.text, text, sizeof Shown.text);
    lstrcpynA(Shown.caption, caption, sizeof Shown.caption);
    Shown.type = type;
    return IDOK;
}

int RecordHostBox(void* owner, const char* text, const char* caption, uint32_t type, int)
{
    return RecordBox(static_cast<HWND>(owner), text, caption ? caption : InstallerTitle, type);
}

int NoRequest(uint32_t, void*, uint32_t, uint32_t* returned)
{
    *returned = 0;
    return 0;
}

void NoEndRun()
{
}

// The driver's boxes are recorded, not shown.
const WizardHost RecordingHost = {NoRequest, RecordHostBox, NoEndRun, 0};

// A working folder holding a driver file, with the fake manager in place.
char OldFolder[MAX_PATH];

void EnterDriverFolder()
{
    GetCurrentDirectoryA(sizeof OldFolder, OldFolder);
    CreateDirectoryA("service-test", 0);
    HANDLE file = CreateFileA("service-test\\Pelmix.sys", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    CloseHandle(file);
    SetCurrentDirectoryA("service-test");
    ServiceControl = &FakeServiceControl;
    UseWizardHost(&RecordingHost);
    lstrcpyA(InstallerTitle, "Installer Title");
}

void LeaveDriverFolder()
{
    ServiceControl = &Win32ServiceControl;
    UseProgramHosts();
    SetCurrentDirectoryA(OldFolder);
    DeleteFileA("service-test\\Pelmix.sys");
    RemoveDirectoryA("service-test");
}

void ResetScm(int installed)
{
    ZeroMemory(&Scm, sizeof Scm);
    ZeroMemory(&Shown, sizeof Shown);
    Scm.installed = installed;
}

// Runs StartDriver and expects it to fail with one warning box: shown
// filled with first and second.
void ExpectFailedStart(const char* what, const TextRef& shown, FormatArg first = FormatArg(),
                       FormatArg second = FormatArg())
{
    char text[TextBufferSize];
    FormatText(text, sizeof text, shown.Default, first, second);
    CHECK(StartDriver(0) == 0, "%s: StartDriver succeeded", what);
    CHECK(Shown.count == 1 && strcmp(Shown.text, text) == 0 && strcmp(Shown.caption, "Installer Title") == 0 &&
              Shown.type == MB_ICONWARNING,
          "%s: %d box(es), last \"%s\" captioned \"%s\" type %x", what, Shown.count, Shown.text, Shown.caption,
          Shown.type);
    CHECK(Scm.openHandles == 0, "%s: %d service handle(s) left open", what, Scm.openHandles);
    CHECK(!DriverOpen, "%s: driver marked open", what);
}

void TestLeftoverService()
{
    // A service left by an earlier run is removed and created again for the
    // driver file in the working folder, without a message; only the device,
    // which no driver serves here, is reported.
    char expectedPath[MAX_PATH];
    GetCurrentDirectoryA(sizeof expectedPath, expectedPath);
    lstrcatA(expectedPath, "\\Pelmix.sys");
    ResetScm(1);
    CHECK(StartDriver(0) == 0, "leftover: opened a device nobody serves");
    // The error number is Wine's; the text around it is the table's.
    const char* shown = TableText(TextBadDriver.Id);
    const char* number = strstr(shown, "%d");
    char tail[TextBufferSize];
    FormatText(tail, sizeof tail, number ? number + 2 : "", "Pelmix.sys");
    size_t head = number ? size_t(number - shown) : 0, length = strlen(Shown.text);
    CHECK(Shown.count == 1 && number && strncmp(Shown.text, shown, head) == 0 && length > head + strlen(tail) &&
              strspn(Shown.text + head, "-0123456789") == length - head - strlen(tail) &&
              strcmp(Shown.text + length - strlen(tail), tail) == 0,
          "leftover: box \"%s\"", Shown.text);
    CHECK(lstrcmpiA(Scm.binaryPath, expectedPath) == 0, "driver path \"%s\", expected \"%s\"", Scm.binaryPath,
          expectedPath);
    CHECK(Scm.creates == 2 && Scm.stops == 1 && Scm.deletes == 1 && Scm.starts == 1 && Scm.installed &&
              Scm.openHandles == 0,
          "leftover: %d creates, %d stops, %d deletes, %d starts, %d handle(s) open", Scm.creates, Scm.stops,
          Scm.deletes, Scm.starts, Scm.openHandles);

    // StopDriver takes the service away and closes what it opened.
    StopDriver();
    CHECK(!Scm.installed && Scm.stops == 2 && Scm.deletes == 2 && Scm.openHandles == 0,
          "StopDriver: installed %d, %d handle(s) open", Scm.installed, Scm.openHandles);
    CHECK(Scm.lastManagerAccess == SC_MANAGER_CONNECT, "StopDriver: manager access %lx",
          (unsigned long)Scm.lastManagerAccess);
    // With nothing installed there is nothing to stop or delete.
    StopDriver();
    CHECK(Scm.stops == 2 && Scm.deletes == 2 && Scm.openHandles == 0, "StopDriver touched a missing service");
}

void TestInstallFailures()
{
    // A leftover that cannot be opened: the loop gives up after its bound
    // and reports the last error.
    ResetScm(1);
    Scm.openError = ERROR_ACCESS_DENIED;
    ExpectFailedStart("leftover not opened", TextServiceInternalErr, 5);
    CHECK(Scm.creates == DriverServiceCreateAttempts && Scm.opens == DriverServiceCreateAttempts && Scm.starts == 0,
          "leftover not opened: %d creates, %d opens", Scm.creates, Scm.opens);

    // The display name held by another service: "Pelmix" itself never
    // opens, and the loop is bounded the same way.
    ResetScm(0);
    Scm.createError = ERROR_DUP_NAME;
    ExpectFailedStart("display name taken", TextServiceInternalErr, 1060);
    CHECK(Scm.creates == DriverServiceCreateAttempts && Scm.stops == 0, "display name taken: %d creates", Scm.creates);

    struct {
        DWORD createError;
        const TextRef& text;
        long code;
    } const cases[] = {
        {ERROR_SERVICE_MARKED_FOR_DELETE, TextServiceDeleting, 0},
        {ERROR_ACCESS_DENIED, TextServiceNoAccess, 0},
        {ERROR_INVALID_PARAMETER, TextServiceInternalErr, 87},
    };
    for (const auto& c : cases) {
        ResetScm(0);
        Scm.createError = c.createError;
        ExpectFailedStart("create error", c.text, c.code);
        CHECK(Scm.creates == 1 && Scm.opens == 0, "error %lu retried", (unsigned long)c.createError);
    }

    ResetScm(0);
    Scm.managerError = ERROR_ACCESS_DENIED;
    ExpectFailedStart("no manager", TextBadDriver, 5, "Pelmix.sys");
    CHECK(Scm.lastManagerAccess == SC_MANAGER_CREATE_SERVICE, "install: manager access %lx",
          (unsigned long)Scm.lastManagerAccess);
}

void TestStartFailures()
{
    // A start that fails leaves the service installed for StopDriver.
    ResetScm(0);
    Scm.startError = ERROR_PATH_NOT_FOUND;
    ExpectFailedStart("start on a network drive", TextServiceStartNoLoadErr);
    ResetScm(0);
    Scm.startError = ERROR_SERVICE_DISABLED;
    ExpectFailedStart("start refused", TextServiceStartErr, 1058);
    CHECK(Scm.installed, "a failed start removed the service itself");
    StopDriver();
    CHECK(!Scm.installed && Scm.stops == 1 && Scm.deletes == 1 && Scm.openHandles == 0,
          "StopDriver after a failed start: installed %d, %d handle(s)", Scm.installed, Scm.openHandles);
}

void TestReturnToWelcome()
{
    // Back on the Welcome page the driver is already open: nothing is
    // installed again, and a program without an in-built image says so again.
    ResetScm(0);
    DriverOpen = 1;
    TheWizard.InBuiltImageAvailable = 1 - InBuiltImagePresent();
    CHECK(StartRun(0) == 1, "second start failed");
    CHECK(Scm.creates == 0 && Scm.openHandles == 0, "second start reinstalled the service");
    CHECK(TheWizard.InBuiltImageAvailable == InBuiltImagePresent(), "InBuiltImageAvailable not set from the build");
    if (InBuiltImagePresent())
        CHECK(Shown.count == 0, "a program with an in-built image showed \"%s\"", Shown.text);
    else
        CHECK(Shown.count == 1 && Shown.type == MB_ICONINFORMATION &&
                  strcmp(Shown.text, TextNoEmbeddedBios.Default) == 0,
              "without an in-built image: %d box(es), \"%s\" type %x", Shown.count, Shown.text, Shown.type);
    DriverOpen = 0;
}

void TestDriveRoot()
{
    // A working folder at a drive's root already ends in a backslash.
    char root[4] = {OldFolder[0], ':', '\\', 0};
    char driver[MAX_PATH];
    lstrcpyA(driver, root);
    lstrcatA(driver, "Pelmix.sys");
    CloseHandle(CreateFileA(driver, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    SetCurrentDirectoryA(root);
    ResetScm(0);
    StartDriver(0);
    CHECK(strcmp(WorkDir, root) == 0 && lstrcmpiA(Scm.binaryPath, driver) == 0,
          "at the root: WorkDir \"%s\", driver path \"%s\"", WorkDir, Scm.binaryPath);
    StopDriver();
    SetCurrentDirectoryA(folder);
    DeleteFileA(driver);
}

void TestDriverLoading()
{
    EnterDriverFolder();
    TestLeftoverService();
    TestInstallFailures();
    TestStartFailures();
    TestReturnToWelcome();
    TestDriveRoot();
    LeaveDriverFolder();
}

}  // namespace

int main()
{
    setvbuf(stdout, 0, _IONBF, 0);
    ProgramInstance = GetModuleHandleA(0);
    UseProgramHosts();
    TestStringTable();
    TestLookupOverStringTable();
    TestFormatAgainstWsprintfA();
    TestPageTemplates();
    TestPagesAnswerActivation();
    TestSubclassing();
    TestHighlightedBoxes();
    TestCenterOnScreen();
    TestSystemFonts();
    TestVersionResource();
    TestVersionCode();
    TestDriverLoading();
    printf(Failures ? "%d failure(s)\n" : "all passed\n", Failures);
    return Failures ? 1 : 0;
}
