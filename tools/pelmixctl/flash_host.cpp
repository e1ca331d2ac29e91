#include "flash_host.h"

#include <stdio.h>
#include <string.h>

#include "bios_table.h"
#include "command_words.h"
#include "step_report.h"
#include "terminal_input.h"
#include "request_transport.h"
#include "text_lookup.h"
#include "wizard_state.h"
#include "write_sequence.h"

FlashRunRecord FlashRun;

const char ChipNotIdentifiedText[] =
    "chip not identified: written with the page method unless the driver lists its code";

const char* ChipWords()
{
    return FlashRun.ChipName[0] ? FlashRun.ChipName : ChipNotIdentifiedText;
}

// pelmixctl carries no string table: the wizard's built-in texts are shown.
int LoadStringTableText(unsigned, char*, size_t)
{
    return 0;
}

namespace {

const uint32_t HeaderSize = sizeof(PELMIX_REQUEST_HEADER);

// The step the next request belongs to, as the session told it; 0 for
// requests that print no line of their own.
const char* PendingStep;

uint32_t ChipBytes()
{
    return UsableImageLength(TheSession.CardLength) ? uint32_t(TheSession.CardLength) : PELMIX_ROM_DATA_SIZE;
}

uint32_t ExpectedMs(uint32_t code)
{
    return code == IOCTL_PELMIX_WRITE_ROM ? WriteHoldMs(FlashRun.Waits, ChipBytes()) : ReadHoldMs(FlashRun.Waits);
}

void PrintResultStep(const char* step, const char* result)
{
    StepLine line;
    BeginStep(&line, step);
    StepString(&line, "result", result);
    PrintStep(&line);
}

// Settled steps are printed as told; a request step when its request goes.
void Step(FlashStep step)
{
    switch (step) {
    case FlashStepBackup: PendingStep = "backup"; break;
    case FlashStepMerged: PrintResultStep("merge", "merged"); break;
    case FlashStepNotMerged: PrintResultStep("merge", "skipped"); break;
    case FlashStepWrite: PendingStep = "write"; break;
    case FlashStepReadBack: PendingStep = "read-back"; break;
    case FlashStepVerifyFailed: PrintResultStep("verify", "failed"); break;
    case FlashStepRestore: PendingStep = "restore"; break;
    case FlashStepRestoreRead: PendingStep = "read"; break;
    }
}

int Request(uint32_t code, void* record, uint32_t length, uint32_t* returned)
{
    const char* step = PendingStep;
    PendingStep = 0;
    if (step)
        AnnounceStep(step, ExpectedMs(code), 1);
    uint32_t systemStatus = 0, information = 0;
    TransportTiming timing = {};
    char error[256] = "";
    int delivered = TransportSend(code, static_cast<uint8_t*>(record), length, length, &systemStatus, &information,
                                  &timing, error, sizeof error);
    if (!delivered)
        PrintMessage("error", error);
    int ok = delivered && systemStatus == 0;
    *returned = ok ? information : 0;
    uint32_t status = static_cast<PELMIX_REQUEST_HEADER*>(record)->Status;
    int done = ok && information >= 4 && status == 0;
    if (!step)
        return ok;
    StepLine line;
    BeginStep(&line, step);
    if (ok && information >= 4)
        StepNumber(&line, "Status", status);
    else
        StepNumber(&line, "system_status", systemStatus);
    if (done && code == IOCTL_PELMIX_READ_ROM)
        StepNumber(&line, "bytes", information - HeaderSize);
    StepNumber(&line, "expected_ms", ExpectedMs(code));
    StepTiming(&line, timing);
    PrintStep(&line);
    return ok;
}

void VersionOf(const uint8_t* image, char* text, uint32_t size)
{
    BiosTable table;
    if (!ReadBiosTable(image, &table) || TableVersionLine(&table, text, size) == 0)
        CopyText(text, size, "(no version text)");
}

void PrintCheckedImage()
{
    StepLine line;
    BeginStep(&line, "checksum");
    StepString(&line, "image", "new");
    int valid = ImageChecksumValid(TheWizard.NewImage, TheWizard.NewImageSize);
    StepString(&line, "result", valid ? "valid" : "invalid, ignored");
    StepNumber(&line, "bytes", TheWizard.NewImageSize);
    PrintStep(&line);
}

// A line from the terminal that starts with y.
int TerminalSaysYes()
{
    fflush(stderr);
    char answer[16] = "";
    if (!fgets(answer, sizeof answer, stdin))
        return 0;
    return answer[0] == 'y' || answer[0] == 'Y';
}

// The write confirmation: the card, the old and new version texts and how
// long the screen will stop. --yes answers it; else a terminal's reader.
int Confirmed()
{
    PrintCheckedImage();
    if (FlashRun.Yes)
        return 1;
    if (!InputIsTerminal())
        return 0;
    char now[TextBufferSize], next[TextBufferSize];
    VersionOf(TheSession.CardImage.Data, now, sizeof now);
    VersionOf(TheWizard.NewImage, next, sizeof next);
    const PELMIX_DEVICE_ENTRY& card = TheWizard.DeviceList.Entries[TheWizard.SelectedDevice];
    uint32_t tenths = (WriteHoldMs(FlashRun.Waits, ChipBytes()) + 99) / 100;
    char chip[160];
    if (FlashRun.ChipName[0])
        snprintf(chip, sizeof chip, "%s chip of %u KB", FlashRun.ChipName, ChipBytes() / 1024);
    else
        snprintf(chip, sizeof chip, "%u KB, %s", ChipBytes() / 1024, ChipNotIdentifiedText);
    fprintf(stderr,
            "Card %u:%02X.%X (%04X:%04X, %s)\n"
            "  now: %s\n"
            "  new: %s%s\n"
            "The screen will stop for up to %u.%u s while the chip is written.\n"
            "Write it? [y/N] ",
            card.Bus, card.Device, card.Function, card.VendorId, card.DeviceId, chip, now, next,
            FlashRun.Merge ? " (with this board's table)" : "", tenths / 10, tenths % 10);
    if (!TerminalSaysYes())
        return 0;
    if (!FlashRun.Doubt[0])
        return 1;
    fprintf(stderr, "But %s.\nWrite it all the same? [y/N] ", FlashRun.Doubt);
    return TerminalSaysYes();
}

int Box(void*, const char* text, const char*, uint32_t type, int)
{
    uint32_t buttons = type & 0xF;
    if (buttons == BoxOk) {
        uint32_t icon = type & 0xF0;
        char words[TextBufferSize];
        PrintMessage(icon == BoxIconError         ? "error"
                         : icon == BoxIconWarning ? "warning"
                                                  : "note",
                     CommandWords(text, words, sizeof words));
        return AnswerOk;
    }
    int yes = Confirmed();
    FlashRun.Declined = !yes;
    if (buttons == BoxYesNo)
        return yes ? AnswerYes : AnswerNo;
    return yes ? AnswerOk : AnswerCancel;
}

// The command's exit code tells how the run ended.
void EndRun()
{
}

}  // namespace

const WizardHost PelmixctlHost = {Request, Box, EndRun, Step};

int32_t ReadChipForCheck(PELMIX_ROM_TRANSFER* record)
{
    memset(record, 0, sizeof *record);
    const PELMIX_DEVICE_ENTRY& card = TheWizard.DeviceList.Entries[TheWizard.SelectedDevice];
    record->Header.Bus = card.Bus;
    record->Header.Device = card.Device;
    record->Header.Function = card.Function;
    uint32_t returned = 0;
    PendingStep = "read";
    int ok = Request(IOCTL_PELMIX_READ_ROM, record, sizeof *record, &returned);
    if (!ok || record->Header.Status != 0 || !UsableImageLength(int32_t(returned) - int32_t(HeaderSize)))
        return -1;
    return int32_t(returned) - int32_t(HeaderSize);
}
