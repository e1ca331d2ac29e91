/* What the wizard's logic needs from its platform (the program, pelmixctl or
   a test's fake): a table of operations that the platform hands in at start
   with UseWizardHost, and the one way every layer shows a text of texts.txt
   in a message box. */
#ifndef DORVANE_WIZARD_HOST_H
#define DORVANE_WIZARD_HOST_H

#include <stdint.h>

/* Message box kinds and answers, with the Win32 values. */
enum : uint32_t {
    BoxOk = 0x0,
    BoxOkCancel = 0x1,
    BoxYesNo = 0x4,
    BoxIconError = 0x10,
    BoxIconWarning = 0x30,
    BoxIconInformation = 0x40,
    BoxDefaultSecond = 0x100,
};
enum { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

/* The steps of a flash session, told to the host as they begin; the merge
   and the failed verification are told when they are settled, just before
   the write and the restore that follow them. */
enum FlashStep {
    FlashStepBackup,       /* the backup read of the card's image */
    FlashStepMerged,       /* the board table went into the new image */
    FlashStepNotMerged,    /* the new image goes as it is */
    FlashStepWrite,        /* the new image to the chip */
    FlashStepReadBack,     /* the chip after the write */
    FlashStepVerifyFailed, /* the read-back did not prove the write */
    FlashStepRestore,      /* the card's old image back to the chip */
    FlashStepRestoreRead,  /* the chip after the restore */
};

struct WizardHost {
    /* One synchronous driver request, record as input and output of length
       bytes. 1 when the call itself succeeded; returned gets the reply's
       byte count. */
    int (*Request)(uint32_t code, void* record, uint32_t length, uint32_t* returned);
    /* A message box owned by owner; caption 0 means the installer title;
       highlight draws its text in dark red. Returns the answer. */
    int (*Box)(void* owner, const char* text, const char* caption, uint32_t type, int highlight);
    /* The run must end without the exit question. */
    void (*EndRun)();
    /* A flash session's step is about to run (0: not told). */
    void (*Step)(FlashStep step);
};

/* The host of the run; host must outlive it. */
void UseWizardHost(const WizardHost* host);
const WizardHost& WizardHostInUse();

/* Every layer's message box: text as given, through the host of the run;
   caption 0 means the installer title. Returns the answer. */
int ShowBox(void* owner, const char* text, const char* caption, uint32_t type);

/* Looks up a text of texts.txt (setup.cfg, string table, built-in default),
   fills its "%d" or "%s" with arg, and shows it through host; caption 0
   means the installer title. Returns the answer. */
struct FormatArg;
struct TextRef;
int ShowTextBox(const WizardHost& host, void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg = 0,
                const char* caption = 0, int highlight = 0);

/* ShowTextBox through the host of the run. */
int TellUser(void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg = 0, const char* caption = 0,
             int highlight = 0);

/* The cut of the boxes whose text fills a 256-byte buffer. */
enum { BoxTextCut = 255 };

/* TellUser for a text that is always formatted, with up to two arguments
   (with none a "%%" still shows as "%"), and shows at most cut characters
   of the result; never highlighted. */
int TellUserFormatted(void* owner, const TextRef& shown, uint32_t type, const char* caption, unsigned cut,
                      const FormatArg& first, const FormatArg& second);

#endif
