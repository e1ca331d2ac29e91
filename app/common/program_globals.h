// Process-wide state of the program's start: fixed before the first page
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
extern char InstallerTitle[TextBufferSize];  // the caption of the program's boxes

#define PROGRAM_VERSION_TEXT DORVANE_VERSION_TEXT

#endif
