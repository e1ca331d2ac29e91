#include "program_globals.h"

HINSTANCE ProgramInstance;
char ProgramDir[PathBufferSize];
char ProductName[ProductNameSize];
char InstallerTitle[TextBufferSize];
