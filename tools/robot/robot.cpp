// robot: drives the wizard from another process, for the tests. It runs under
// Wine beside Dorvane.exe and looks only at windows of processes whose image
// is Dorvane.exe (or the name in ROBOT_PROGRAM).
//
//   robot wait-page CAPTION [MS]   wait for a visible page with that caption
//   robot page                     caption of the page that is up
//   robot active                   caption of the active (foreground) window
//   robot click ID                 click a page control
//   robot set-text ID TEXT | get-text ID
//   robot state ID                 visible|hidden enabled|disabled checked|unchecked
//   robot list ID | select ID INDEX
//   robot key ID F1|F3|CTRL-SHIFT-F1|ESC
//   robot box [MS]                 wait for a message box and describe it
//   robot answer yes|no|ok|cancel
//   robot wait-exit [MS]           wait for the program to end, print its exit code
//   robot rect page|box            "X Y WIDTH HEIGHT" of the page or box on the screen
//
// Exit code 0 on success; 1 with a one-line reason when what was asked for is
// not there in time; 2 for a wrong command line.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resource_ids.h"

namespace {

const int PageRuleId = IDC_RULE;  // every page has the horizontal rule
const int BoxTextId = 0xFFFF;     // a message box's text
const int BoxIconId = 1088;       // a message box's icon
const DWORD DefaultWait = 10000;
const DWORD Poll = 100;

enum { MaxPrograms = 16 };
DWORD ProgramPids[MaxPrograms];
int ProgramCount;

int Fail(const char* reason, const char* detail = "")
{
    printf("robot: %s%s\n", reason, detail);
    return 1;
}

const char* ProgramName()
{
    const char* name = getenv("ROBOT_PROGRAM");
    return name && *name ? name : "Dorvane.exe";
}

void FindPrograms()
{
    ProgramCount = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snap, &entry); ok && ProgramCount < MaxPrograms; ok = Process32Next(snap, &entry))
        if (lstrcmpiA(entry.szExeFile, ProgramName()) == 0)
            ProgramPids[ProgramCount++] = entry.th32ProcessID;
    CloseHandle(snap);
}

int OfProgram(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    for (int i = 0; i < ProgramCount; ++i)
        if (ProgramPids[i] == pid)
            return 1;
    return 0;
}

int IsDialogOfProgram(HWND window)
{
    char cls[32];
    if (!IsWindowVisible(window) || !GetClassNameA(window, cls, sizeof cls) || strcmp(cls, "#32770") != 0)
        return 0;
    return OfProgram(window);
}

struct Search {
    int wantBox;  // 1: message box, 0: page
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    Search* s = (Search*)param;
    if (!IsDialogOfProgram(window))
        return TRUE;
    // Pages have unnamed statics too (id -1 is 0xFFFF): the rule tells them apart.
    int isPage = GetDlgItem(window, PageRuleId) != 0;
    int isBox = !isPage && GetDlgItem(window, BoxTextId) != 0;
    if (s->wantBox ? !isBox : !isPage)
        return TRUE;
    if (s->caption) {
        char text[256];
        GetWindowTextA(window, text, sizeof text);
        if (strcmp(text, s->caption) != 0)
            return TRUE;
    }
    s->found = window;
    return FALSE;
}

HWND FindOne(int wantBox, const char* caption)
{
    FindPrograms();
    Search s = {wantBox, caption, 0};
    EnumWindows(FindDialog, (LPARAM)&s);
    return s.found;
}

HWND WaitFor(int wantBox, const char* caption, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindOne(wantBox, caption);
        if (found || GetTickCount() - start >= ms)
            return found;
        Sleep(Poll);
    }
}

DWORD WaitArg(int argc, char** argv, int index)
{
    return argc > index ? (DWORD)strtoul(argv[index], 0, 10) : DefaultWait;
}

// The control of the page that is up; the box's when no page is up.
HWND PageControl(const char* idText, HWND* pageOut = 0)
{
    HWND page = WaitFor(0, 0, 2000);
    if (!page)
        return 0;
    if (pageOut)
        *pageOut = page;
    return GetDlgItem(page, atoi(idText));
}

// The control that argv[2] names, once the command line has its words; 0
// after the reason is printed.
HWND CommandControl(int argc, char** argv, int words, const char* usage, HWND* pageOut = 0)
{
    if (argc < words) {
        Fail(usage);
        return 0;
    }
    HWND control = PageControl(argv[2], pageOut);
    if (!control)
        Fail("no control ", argv[2]);
    return control;
}

void PrintEscaped(const char* text)
{
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            fputs("\\n", stdout);
        else if (*p != '\r')
            fputc(*p, stdout);
    }
    fputc('\n', stdout);
}

int CmdWaitPage(int argc, char** argv)
{
    if (argc < 3)
        return Fail("usage: wait-page CAPTION [MS]");
    HWND page = WaitFor(0, argv[2], WaitArg(argc, argv, 3));
    if (!page)
        return Fail("no page with caption ", argv[2]);
    printf("%s\n", argv[2]);
    return 0;
}

void PrintCaption(HWND window)
{
    char text[256];
    GetWindowTextA(window, text, sizeof text);
    printf("%s\n", text);
}

int CmdPage(int, char**)
{
    HWND page = WaitFor(0, 0, 2000);
    if (!page)
        return Fail("no page is up");
    PrintCaption(page);
    return 0;
}

int CmdActive(int, char**)
{
    HWND window = GetForegroundWindow();
    if (!window)
        return Fail("no active window");
    PrintCaption(window);
    return 0;
}

int ClickControl(HWND, HWND control, char**)
{
    // Posted, never sent: the click may open a modal message box.
    PostMessageA(control, BM_CLICK, 0, 0);
    return 0;
}

int SetControlText(HWND, HWND control, char** argv)
{
    SendMessageA(control, WM_SETTEXT, 0, (LPARAM)argv[3]);
    return 0;
}

int PrintControlText(HWND, HWND control, char**)
{
    char text[1024];
    SendMessageA(control, WM_GETTEXT, sizeof text, (LPARAM)text);
    PrintEscaped(text);
    return 0;
}

int PrintControlState(HWND, HWND control, char**)
{
    LRESULT check = SendMessageA(control, BM_GETCHECK, 0, 0);
    printf("%s %s %s\n", (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) ? "visible" : "hidden",
           IsWindowEnabled(control) ? "enabled" : "disabled", check == BST_CHECKED ? "checked" : "unchecked");
    return 0;
}

int PrintListLines(HWND, HWND control, char**)
{
    // Read as wide text: the list's lines cross the process boundary intact
    // that way, whatever the list box was created as.
    LRESULT count = SendMessageW(control, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        WCHAR wide[1024];
        LRESULT len = SendMessageW(control, LB_GETTEXTLEN, i, 0);
        if (len < 0 || len >= (LRESULT)(sizeof wide / sizeof wide[0]))
            return Fail("list line too long");
        SendMessageW(control, LB_GETTEXT, i, (LPARAM)wide);
        wide[len] = 0;
        char line[2048];
        WideCharToMultiByte(CP_ACP, 0, wide, -1, line, sizeof line, 0, 0);
        printf("%s\n", line);
    }
    return 0;
}

int SelectListLine(HWND page, HWND control, char** argv)
{
    int index = atoi(argv[3]);
    if (SendMessageA(control, LB_SETCURSEL, index, 0) == LB_ERR && index != -1)
        return Fail("no such line ", argv[3]);
    // A user's choice notifies the page; LB_SETCURSEL alone does not.
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), LBN_SELCHANGE), (LPARAM)control);
    return 0;
}

// The commands that act on one control of the page that is up, named by
// the word after the command.
struct ControlCommand {
    const char* name;
    int words;  // on the command line, at the least
    const char* usage;
    int (*run)(HWND page, HWND control, char** argv);
};

const ControlCommand ControlCommands[] = {
    {"click", 3, "usage: click ID", ClickControl},           {"set-text", 4, "usage: set-text ID TEXT", SetControlText},
    {"get-text", 3, "usage: get-text ID", PrintControlText}, {"state", 3, "usage: state ID", PrintControlState},
    {"list", 3, "usage: list ID", PrintListLines},           {"select", 4, "usage: select ID INDEX", SelectListLine},
};

// Presses a key at the X level with xdotool, which Wine delivers to the
// focused control like a user's key press.
int PressKey(const char* keys)
{
    char command[256];
    const char* desktop = getenv("ROBOT_X_WINDOW");
    const char* verb = strncmp(keys, "key", 3) == 0 ? "" : "key ";
    if (desktop && *desktop)
        snprintf(command, sizeof command, "/usr/bin/xdotool windowfocus --sync %s %s%s", desktop, verb, keys);
    else
        snprintf(command, sizeof command, "/usr/bin/xdotool %s%s", verb, keys);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(0, command, 0, 0, FALSE, 0, 0, 0, &si, &pi))
        return 0;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 1;
}

struct KeyName {
    const char* name;
    const char* keys;  // xdotool's words for it
};
const KeyName Keys[] = {
    {"F1", "F1"},
    {"F3", "F3"},
    // Held down one by one, so the program sees both held when F1 comes.
    {"CTRL-SHIFT-F1",
     "keydown Control_L sleep 0.2 keydown Shift_L sleep 0.2 key F1 sleep 0.2 keyup Shift_L keyup Control_L"},
    {"ESC", "Escape"},
};

const char* KeysOf(const char* name)
{
    for (const KeyName& k : Keys)
        if (strcmp(name, k.name) == 0)
            return k.keys;
    return 0;
}

int CmdKey(int argc, char** argv)
{
    if (argc >= 4 && !KeysOf(argv[3]))
        return Fail("unknown key ", argv[3]);
    HWND page = 0;
    HWND control = CommandControl(argc, argv, 4, "usage: key ID F1|F3|CTRL-SHIFT-F1|ESC", &page);
    if (!control)
        return 1;
    // The page gives its control the focus, as a click or Tab would.
    PostMessageA(page, WM_NEXTDLGCTL, (WPARAM)control, TRUE);
    DWORD start = GetTickCount();
    GUITHREADINFO info;
    DWORD thread = GetWindowThreadProcessId(page, 0);
    for (;;) {
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(thread, &info) && info.hwndFocus == control)
            break;
        if (GetTickCount() - start > 3000)
            return Fail("control did not take the focus: ", argv[2]);
        Sleep(50);
    }
    if (!PressKey(KeysOf(argv[3])))
        return Fail("cannot run xdotool");
    return 0;
}

// Which standard icon the box shows: its icon control's pixels are compared
// with each standard icon drawn on the same background.
const char* IconKind(HWND box)
{
    HWND icon = GetDlgItem(box, BoxIconId);
    if (!icon || !IsWindowVisible(icon) || !SendMessageA(icon, STM_GETICON, 0, 0))
        return "none";
    RECT r;
    GetWindowRect(icon, &r);
    int w = 32, h = 32;
    HDC screen = GetDC(0);
    HDC shot = CreateCompatibleDC(screen);
    HBITMAP shotBits = CreateCompatibleBitmap(screen, w, h);
    SelectObject(shot, shotBits);
    BitBlt(shot, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    struct Kind {
        LPCSTR id;
        const char* name;
    } kinds[] = {
        {IDI_WARNING, "warning"}, {IDI_INFORMATION, "information"}, {IDI_ERROR, "error"}, {IDI_QUESTION, "question"}};
    const char* best = "unknown";
    long bestDiff = -1;
    COLORREF background = GetPixel(shot, 0, 0);
    for (const Kind& k : kinds) {
        HDC draw = CreateCompatibleDC(screen);
        HBITMAP drawBits = CreateCompatibleBitmap(screen, w, h);
        SelectObject(draw, drawBits);
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, w, h};
        FillRect(draw, &all, brush);
        DeleteObject(brush);
        DrawIcon(draw, 0, 0, LoadIconA(0, k.id));
        long diff = 0;
        for (int y = 0; y < h; y += 2)
            for (int x = 0; x < w; x += 2)
                diff += GetPixel(draw, x, y) != GetPixel(shot, x, y);
        if (bestDiff < 0 || diff < bestDiff)
            bestDiff = diff, best = k.name;
        DeleteDC(draw);
        DeleteObject(drawBits);
    }
    DeleteDC(shot);
    DeleteObject(shotBits);
    ReleaseDC(0, screen);
    return bestDiff >= 0 && bestDiff < (w / 2) * (h / 2) / 4 ? best : "unknown";
}

struct ButtonName {
    int id;
    const char* name;
};
const ButtonName Buttons[] = {{IDOK, "ok"},       {IDCANCEL, "cancel"}, {IDYES, "yes"},      {IDNO, "no"},
                              {IDABORT, "abort"}, {IDRETRY, "retry"},   {IDIGNORE, "ignore"}};

int CmdBox(int argc, char** argv)
{
    HWND box = WaitFor(1, 0, WaitArg(argc, argv, 2));
    if (!box)
        return Fail("no message box");
    Sleep(200);  // let the box draw itself before its icon is read
    char text[1024];
    GetWindowTextA(box, text, sizeof text);
    printf("caption: %s\n", text);
    GetDlgItemTextA(box, BoxTextId, text, sizeof text);
    fputs("text: ", stdout);
    PrintEscaped(text);
    fputs("buttons:", stdout);
    const char* def = "none";
    for (const ButtonName& b : Buttons) {
        HWND button = GetDlgItem(box, b.id);
        if (!button || !IsWindowVisible(button))
            continue;
        printf(" %s", b.name);
        if ((GetWindowLongA(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            def = b.name;
    }
    printf("\ndefault: %s\n", def);
    printf("icon: %s\n", IconKind(box));
    HWND owner = GetWindow(box, GW_OWNER);
    if (owner) {
        GetWindowTextA(owner, text, sizeof text);
        printf("owner: %s\n", text);
    } else {
        printf("owner: none\n");
    }
    return 0;
}

int CmdAnswer(int argc, char** argv)
{
    if (argc < 3)
        return Fail("usage: answer yes|no|ok|cancel");
    HWND box = WaitFor(1, 0, 2000);
    if (!box)
        return Fail("no message box");
    for (const ButtonName& b : Buttons)
        if (strcmp(argv[2], b.name) == 0) {
            if (!GetDlgItem(box, b.id))
                return Fail("the box has no button ", argv[2]);
            // Done when the box has gone. A click still not taken after 5 s
            // is posted again, three times in all (a box has been seen to
            // stay up on a loaded machine); a program that no longer takes
            // messages is named as such.
            for (int attempt = 0; attempt < 3 && IsWindow(box); ++attempt) {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(b.id, BN_CLICKED), (LPARAM)GetDlgItem(box, b.id));
                DWORD start = GetTickCount();
                while (IsWindow(box) && GetTickCount() - start < 5000)
                    Sleep(50);
            }
            if (!IsWindow(box))
                return 0;
            return Fail(IsHungAppWindow(box) ? "the box stayed up: its program does not answer" : "the box stayed up");
        }
    return Fail("unknown answer ", argv[2]);
}

int CmdWaitExit(int argc, char** argv)
{
    DWORD ms = WaitArg(argc, argv, 2);
    FindPrograms();
    if (ProgramCount == 0)
        return Fail("the program is not running (it may have ended already)");
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, ProgramPids[0]);
    if (!process)
        return Fail("cannot watch the program");
    DWORD waited = WaitForSingleObject(process, ms);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0)
        return Fail("the program is still running");
    printf("%lu\n", (unsigned long)code);
    return 0;
}

// Where the page or the message box is, for pictures cropped to it.
int CmdRect(int argc, char** argv)
{
    if (argc < 3 || (strcmp(argv[2], "page") != 0 && strcmp(argv[2], "box") != 0))
        return Fail("usage: rect page|box");
    HWND window = WaitFor(strcmp(argv[2], "box") == 0, 0, 2000);
    if (!window)
        return Fail("no window: ", argv[2]);
    RECT r;
    if (!GetWindowRect(window, &r))
        return Fail("no rectangle for ", argv[2]);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command Commands[] = {
    {"wait-page", CmdWaitPage}, {"page", CmdPage},          {"active", CmdActive}, {"key", CmdKey}, {"box", CmdBox},
    {"answer", CmdAnswer},      {"wait-exit", CmdWaitExit}, {"rect", CmdRect},
};

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, 0, _IONBF, 0);
    if (argc < 2) {
        fprintf(stderr, "usage: robot COMMAND [ARGS]\n");
        return 2;
    }
    for (const Command& c : Commands)
        if (strcmp(argv[1], c.name) == 0)
            return c.run(argc, argv);
    for (const ControlCommand& c : ControlCommands)
        if (strcmp(argv[1], c.name) == 0) {
            HWND page = 0;
            HWND control = CommandControl(argc, argv, c.words, c.usage, &page);
            return control ? c.run(page, control, argv) : 1;
        }
    fprintf(stderr, "robot: unknown command %s\n", argv[1]);
    return 2;
}
