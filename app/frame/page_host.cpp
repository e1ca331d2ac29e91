#include "page_host.h"

HWND MainWindow;

namespace {

const PageHost* Host;

}  // namespace

void UsePageHost(const PageHost* host)
{
    Host = host;
}

int AskExit(HWND window)
{
    return Host ? Host->ConfirmExit(window) : 0;
}

void AskAbout(HWND owner)
{
    if (Host)
        Host->ShowAbout(owner);
}
