#include "terminal_input.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

int InputIsTerminal()
{
#ifdef _WIN32
    // _isatty holds for any character device, NUL too; only a console
    // handle has a console mode.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
    return isatty(STDIN_FILENO);
#endif
}
