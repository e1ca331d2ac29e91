#include "flash_host.h"

#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "bios_table.h"
#include "step_report.h"
#include "request_transport.h"
#include "text_lookup.h"
#include "wizard_state.h"
#include "write_sequence.h"

FlashRunRecord FlashRun;

// pelmixctl carries no string table: the wizard's built-in texts are shown.
int LoadStringTableText(unsigned, char*, size_t)
{
    return 0;
}

namespace {

PELMIX_ROM_TRANSFER* CheckRecord;  // the record of ReadChipForCheck

const uint32_t HeaderSize = sizeof(PELMIX_REQUEST_HEADER);

// The step a request belongs to, told by the record the wizard's logic
// hands over; 0 for requests that print no line of their own.
const char* StepOfRequest(uint32_t code, const void* record)
{
    if (record == &CurrentImage)
        return code == IOCTL_PELMIX_WRITE_ROM ? "restore" : "backup";
    if (record == &WriteRequest)
        return "write";
    if (record == &ReadBackImage)
        return "read-back";
    if (record == &RestoreCheckImage)
        return "read";
    if (CheckRecord && record == CheckRecord)
        return "read";
    return 0;
}

uint32_t ChipBytes()
{
    return UsableImageLength(CurrentImageLength) ? uint32_t(CurrentImageLength) : PELMIX_ROM_DATA_SIZE;
}

uint32_t ExpectedMs(uint32_t code)
{
    return code == IOCTL_PELMIX_WRITE_ROM ? WriteHoldMs(FlashRun.Waits, ChipBytes()) : ReadHoldMs(FlashRun.Waits);
}

// Lines that the next request settles: the merge was done before the write,
// and a restore right after a good read-back means its check failed.
void PrintSettledSteps(const char* step)
{
    StepLine line;
    if (strcmp(step, "write") == 0) {
        BeginStep(&line, "merge");
        StepString(&line, "result", FlashRun.Merge ? "merged" : "skipped");
        PrintStep(&line);
    } else if (strcmp(step, "restore") == 0 && FlashRun.ReadBackDone) {
        BeginStep(&line, "verify");
        StepString(&line, "result", "failed");
        PrintStep(&line);
    }
}

int Request(uint32_t code, void* record, uint32_t length, uint32_t* returned)
{
    const char* step = StepOfRequest(code, record);
    if (step) {
        PrintSettledSteps(step);
        AnnounceStep(step, ExpectedMs(code), 1);
    }
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
    if (code == IOCTL_PELMIX_WRITE_ROM) {
        FlashRun.WriteSent |= record == &WriteRequest;
        FlashRun.RestoreSent |= record == &CurrentImage;
        if (record == &CurrentImage)
            FlashRun.RestoreDone = done;
    }
    if (record == &ReadBackImage)
        FlashRun.ReadBackDone = done;
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
    if (!isatty(fileno(stdin)))
        return 0;
    char now[TextBufferSize], next[TextBufferSize];
    VersionOf(CurrentImage.Data, now, sizeof now);
    VersionOf(TheWizard.NewImage, next, sizeof next);
    const PELMIX_DEVICE_ENTRY& card = TheWizard.DeviceList.Entries[TheWizard.SelectedDevice];
    uint32_t tenths = (WriteHoldMs(FlashRun.Waits, ChipBytes()) + 99) / 100;
    fprintf(stderr,
            "Card %u:%02X.%X (%04X:%04X, %s chip of %u KB)\n"
            "  now: %s\n"
            "  new: %s%s\n"
            "The screen will stop for up to %u.%u s while the chip is written.\n"
            "Write it? [y/N] ",
            card.Bus, card.Device, card.Function, card.VendorId, card.DeviceId,
            FlashRun.ChipName[0] ? FlashRun.ChipName : "unnamed", ChipBytes() / 1024, now, next,
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
        PrintMessage(icon == BoxIconError ? "error" : icon == BoxIconWarning ? "warning" : "note", text);
        return AnswerOk;
    }
    int yes = Confirmed();
    FlashRun.Declined = !yes;
    if (buttons == BoxYesNo)
        return yes ? AnswerYes : AnswerNo;
    return yes ? AnswerOk : AnswerCancel;
}

void EndRun()
{
    FlashRun.EndRunCalled = 1;
}

}  // namespace

WizardHost TheHost = {Request, Box, EndRun};

int32_t ReadChipForCheck(PELMIX_ROM_TRANSFER* record)
{
    CheckRecord = record;
    memset(record, 0, sizeof *record);
    const PELMIX_DEVICE_ENTRY& card = TheWizard.DeviceList.Entries[TheWizard.SelectedDevice];
    record->Header.Bus = card.Bus;
    record->Header.Device = card.Device;
    record->Header.Function = card.Function;
    uint32_t returned = 0;
    int ok = TheHost.Request(IOCTL_PELMIX_READ_ROM, record, sizeof *record, &returned);
    CheckRecord = 0;
    if (!ok || record->Header.Status != 0 || !UsableImageLength(int32_t(returned) - int32_t(HeaderSize)))
        return -1;
    return int32_t(returned) - int32_t(HeaderSize);
}
