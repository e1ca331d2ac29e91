#include "shell_globals.h"

HINSTANCE ProgramInstance;
char ProgramDir[PathBufferSize];
char ProductName[ProductNameSize];
