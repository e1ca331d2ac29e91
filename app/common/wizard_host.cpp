#include "wizard_host.h"

#include "format_text.h"
#include "text_lookup.h"

namespace {

int NoRequest(uint32_t, void*, uint32_t, uint32_t* returned)
{
    *returned = 0;
    return 0;
}

int NoBox(void*, const char*, const char*, uint32_t, int)
{
    return AnswerCancel;
}

void NoEndRun()
{
}

// Until a platform hands in its own: nothing reaches a driver or a user.
const WizardHost NoHost = {NoRequest, NoBox, NoEndRun, 0};
const WizardHost* Host = &NoHost;

}  // namespace

void UseWizardHost(const WizardHost* host)
{
    Host = host ? host : &NoHost;
}

const WizardHost& WizardHostInUse()
{
    return *Host;
}

int ShowBox(void* owner, const char* text, const char* caption, uint32_t type)
{
    return Host->Box(owner, text, caption, type, 0);
}

int ShowTextBox(const WizardHost& host, void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg,
                const char* caption, int highlight)
{
    char format[TextBufferSize];
    LookupText(shown, format);
    // Room for a configured format with a long argument.
    char text[2 * TextBufferSize + 64];
    if (arg)
        FormatText(text, sizeof text, format, *arg);
    else
        CopyText(text, sizeof text, format);
    return host.Box(owner, text, caption, type, highlight);
}

int TellUser(void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg, const char* caption, int highlight)
{
    return ShowTextBox(*Host, owner, shown, type, arg, caption, highlight);
}
