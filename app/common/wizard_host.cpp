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

namespace {

// Room for a configured format with a long argument.
const unsigned ShownTextSize = 2 * TextBufferSize + 64;

// With format clear the looked-up text is shown as it stands.
int ShowLookedUp(const WizardHost& host, void* owner, const TextRef& shown, uint32_t type, const char* caption,
                 int highlight, int format, unsigned cut, const FormatArg& first, const FormatArg& second)
{
    char looked[TextBufferSize];
    LookupText(shown, looked);
    char text[ShownTextSize];
    size_t size = cut < ShownTextSize ? cut + 1 : ShownTextSize;
    if (format)
        FormatText(text, size, looked, first, second);
    else
        CopyText(text, size, looked);
    return host.Box(owner, text, caption, type, highlight);
}

}  // namespace

int ShowTextBox(const WizardHost& host, void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg,
                const char* caption, int highlight)
{
    return ShowLookedUp(host, owner, shown, type, caption, highlight, arg != 0, ShownTextSize - 1,
                        arg ? *arg : FormatArg(), FormatArg());
}

int TellUser(void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg, const char* caption, int highlight)
{
    return ShowTextBox(*Host, owner, shown, type, arg, caption, highlight);
}

int TellUserFormatted(void* owner, const TextRef& shown, uint32_t type, const char* caption, unsigned cut,
                      const FormatArg& first, const FormatArg& second)
{
    return ShowLookedUp(*Host, owner, shown, type, caption, 0, 1, cut, first, second);
}
