// Process-wide state of the program's start: fixed before the main window
// exists and unchanged afterwards (DevMode of OptionFlags excepted).
#ifndef DORVANE_SHELL_GLOBALS_H
#define DORVANE_SHELL_GLOBALS_H

#include <windows.h>

#include "command_line.h"
#include "config_file.h"
#include "dorvane_version.h"

enum { ProductNameSize = 261 };

extern HINSTANCE ProgramInstance;
extern char ProgramDir[PathBufferSize];
extern char ProductName[ProductNameSize];

#define PROGRAM_VERSION_TEXT DORVANE_VERSION_TEXT

#endif
