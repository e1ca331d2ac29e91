#include "user_commands.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "bios_merge.h"
#include "byte_routines.h"
#include "card_types.h"
#include "device_detection.h"
#include "flash_host.h"
#include "image_load.h"
#include "inbuilt_image.h"
#include "path_facts.h"
#include "pci_data.h"
#include "request_transport.h"
#include "text_lookup.h"
#include "step_report.h"
#include "terminal_input.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

const CommandLine* Line;

// What the card's image passes, as the backup step tests it.
enum CardChecksum { CardChecksumValid, CardChecksumValidShort, CardChecksumInvalid };

int Refuse(const char* format, ...)
{
    char text[768];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    PrintMessage("error", text);
    return UserRefused;
}

// Whole bytes of a file, or -1 when it cannot be opened.
long FileSize(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return -1;
    long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    fclose(file);
    return size;
}

std::string TargetText(const UserCommand& user)
{
    char text[16];
    snprintf(text, sizeof text, "%u:%02x.%x", user.Bus, user.Device, user.Function);
    return text;
}

std::string Quoted(const char* word)
{
    return strchr(word, ' ') ? std::string("\"") + word + "\"" : std::string(word);
}

void RestoreProblem(const char* file, const uint8_t* image, uint32_t length, char* problem);

// The first bytes of a file, at most an image buffer's; -1 when it cannot
// be opened.
long ReadImageHead(const char* path, uint8_t* image)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return -1;
    size_t got = fread(image, 1, PELMIX_ROM_DATA_SIZE, file);
    fclose(file);
    return long(got);
}

// What the image's PCI data structure says against writing it to an Orvel
// card (PciDataOrvel when nothing), with the line that says why.
PciDataVerdict ImageVerdict(const char* name, const uint8_t* image, uint32_t length, char* problem, size_t size)
{
    PciData data;
    PciDataVerdict verdict = JudgePciData(image, length, &data);
    PciDataProblem(name, verdict, data, problem, size);
    return verdict;
}

int RefusedForCard(PciDataVerdict verdict)
{
    return verdict == PciDataOtherVendor || verdict == PciDataNotDisplay;
}

// 1 when file names a device other than an Orvel card's display.
int FileRefusedForCard(const char* file)
{
    static uint8_t image[PELMIX_ROM_DATA_SIZE];
    long got = ReadImageHead(file, image);
    char problem[512];
    return got > 0 && RefusedForCard(ImageVerdict(file, image, uint32_t(got), problem, sizeof problem));
}

// An image whose PCI data structure names a device other than an Orvel
// card's display is refused unless force; one without a PCI data structure
// is written with a warning. 0 after refusing.
int ImageForOrvelCard(const char* name, const uint8_t* image, uint32_t length, int force)
{
    char problem[512];
    PciDataVerdict verdict = ImageVerdict(name, image, length, problem, sizeof problem);
    if (verdict == PciDataOrvel)
        return 1;
    if (!RefusedForCard(verdict)) {
        PrintMessage("warning", problem);
        return 1;
    }
    if (force) {
        PrintMessage("warning", (std::string(problem) + "; written all the same (--force)").c_str());
        return 1;
    }
    Refuse("%s; --force writes it all the same", problem);
    return 0;
}

// The same for an image file; a file that cannot be read is left to the
// image load, which says so.
int FileForOrvelCard(const char* path, int force)
{
    static uint8_t image[PELMIX_ROM_DATA_SIZE];
    long got = ReadImageHead(path, image);
    return got < 0 || ImageForOrvelCard(path, image, uint32_t(got), force);
}

// 1 when restore would doubt file (blank, or failing its checksum over the
// chip's length), as it does a card image that failed its own checksum.
int RestoreDoubtsFile(const char* file)
{
    static uint8_t image[PELMIX_ROM_DATA_SIZE];
    if (!UsableImageLength(TheSession.CardLength))
        return 0;
    FILE* opened = fopen(file, "rb");
    size_t got = opened ? fread(image, 1, uint32_t(TheSession.CardLength), opened) : 0;
    if (opened)
        fclose(opened);
    if (got != size_t(TheSession.CardLength))
        return 0;
    char problem[256];
    RestoreProblem(file, image, uint32_t(TheSession.CardLength), problem);
    return problem[0] != 0;
}

// The command that puts file back on the card, runnable as printed: where no
// one can answer the confirmation (a script, a service) it carries --yes, and
// --force for a file that restore would otherwise ask about; --force always
// for a file that restore refuses as made for another device.
std::string RestoreCommand(const char* file)
{
    std::string command = "pelmixctl";
    if (Line->MachinePath)
        command += " --machine " + Quoted(Line->MachinePath);
    command += " restore " + TargetText(Line->User) + " " + Quoted(file);
    int refused = FileRefusedForCard(file);
    if (InputIsTerminal())
        return refused ? command + " --force" : command;
    return command + (refused || RestoreDoubtsFile(file) ? " --yes --force" : " --yes");
}

// A confirmation that no one can answer is refused up front.
int ConfirmationPossible()
{
    return Line->User.Yes || InputIsTerminal();
}

// The exit code of a run that stopped before the chip was touched: a
// refusal, or a driver that would not start.
int StoppedExit = UserRefused;

// Opens the driver, lists the cards, selects the target and identifies its
// chip. 0 after saying why.
int SelectCard()
{
    const UserCommand& user = Line->User;
    TransportSettings settings = {Line->MachinePath, 0};
    char error[512] = "";
    int opened = TransportOpen(&settings, error, sizeof error);
    if (opened != TransportOpened) {
        PrintMessage("error", error);
        if (opened == TransportDriverFailed)
            StoppedExit = UserNoDriver;
        return 0;
    }
    InitWizardState(&TheWizard);
    TheWizard.InBuiltImageAvailable = InBuiltImagePresent();
    PELMIX_DEVICE_LIST& list = TheWizard.DeviceList;
    uint32_t returned = 0;
    if (!PelmixctlHost.Request(IOCTL_PELMIX_ENUM_DEVICES, &list, sizeof list, &returned) || returned < 8 ||
        list.Status > 1) {
        Refuse("no Orvel card was found");
        return 0;
    }
    TheWizard.SelectedDevice = -1;
    for (uint32_t i = 0; i < list.Count && i < PELMIX_MAX_DEVICES; ++i) {
        const PELMIX_DEVICE_ENTRY& entry = list.Entries[i];
        if (entry.Bus == user.Bus && entry.Device == user.Device && entry.Function == user.Function)
            TheWizard.SelectedDevice = int32_t(i);
    }
    if (TheWizard.SelectedDevice < 0) {
        Refuse("no Orvel card at %s", TargetText(user).c_str());
        return 0;
    }
    PELMIX_CHIP_INFO chip = {};
    chip.Header.Bus = user.Bus;
    chip.Header.Device = user.Device;
    chip.Header.Function = user.Function;
    int named = PelmixctlHost.Request(IOCTL_PELMIX_IDENTIFY_CHIP, &chip, sizeof chip, &returned) &&
        chip.Header.Status == 0 && returned == sizeof chip;
    FlashRun.Waits = WaitsOfChip(named ? 0 : 15, chip.ChipId);
    if (named)
        snprintf(FlashRun.ChipName, sizeof FlashRun.ChipName, "%.10s", chip.ChipName);
    return 1;
}

CardChecksum CardImageChecksum()
{
    uint32_t length = uint32_t(TheSession.CardLength);
    if (ImageChecksumValid(TheSession.CardImage.Data, length))
        return CardChecksumValid;
    if (ImageChecksumValidShort(TheSession.CardImage.Data, length))
        return CardChecksumValidShort;
    return CardChecksumInvalid;
}

void PrintCardChecksum(CardChecksum checksum)
{
    static const char* const Results[] = {"valid", "valid over length less 4480", "invalid"};
    char version[TextBufferSize] = "";
    BiosTable table;
    if (ReadBiosTable(TheSession.CardImage.Data, &table))
        TableVersionLine(&table, version, sizeof version);
    StepLine line;
    BeginStep(&line, "checksum");
    StepString(&line, "image", "card");
    StepString(&line, "result", Results[checksum]);
    StepString(&line, "version", version);
    StepString(&line, "chip", ChipWords());
    PrintStep(&line);
}

// The wizard's backup step: the chip into the session, and with a path the
// backup file, read back from disk and compared. 0 after saying why.
int TakeBackup(const char* path, CardChecksum* checksum)
{
    BackupFailure failure = BackupNoFailure;
    FlashPlan plan = {};
    plan.BackupPath = path ? path : "";
    plan.SaveBackup = path ? 1 : 0;
    BackupStep(&TheSession, plan, PelmixctlHost, &failure);
    if (failure == BackupReadFailed) {
        Refuse("the card's image could not be read");
        return 0;
    }
    if (failure == BackupFileFailed) {
        Refuse("the backup %s could not be written whole; any earlier file of that name is as it was", path);
        return 0;
    }
    *checksum = CardImageChecksum();
    PrintCardChecksum(*checksum);
    if (!path)
        return 1;
    static uint8_t saved[PELMIX_ROM_DATA_SIZE + 1];
    FILE* file = fopen(path, "rb");
    size_t got = file ? fread(saved, 1, sizeof saved, file) : 0;
    if (file)
        fclose(file);
    int equal = got == PELMIX_ROM_DATA_SIZE && memcmp(saved, TheSession.CardImage.Data, got) == 0;
    StepLine line;
    BeginStep(&line, "backup-file");
    StepString(&line, "file", path);
    StepNumber(&line, "bytes", got);
    StepString(&line, "result", equal ? "equal" : "different");
    if (TheSession.KeptBackupName[0])
        StepString(&line, "kept", TheSession.KeptBackupName);
    PrintStep(&line);
    if (TheSession.KeptBackupName[0])
        PrintMessage(
            "note",
            (std::string("the earlier ") + path + " held other bytes and was kept as " + TheSession.KeptBackupName)
                .c_str());
    // Left as it is: this run may not have made what the name holds now.
    if (!equal) {
        Refuse("the backup %s did not read back as written", path);
        return 0;
    }
    return 1;
}

// A backup name that a file can take: nothing there, or a file (kept
// aside when it holds other bytes, and only with force). 0 after saying why.
int BackupNameUsable(const char* path, int force)
{
    PathKind kind = KindOfPath(path);
    if (kind == PathOther) {
        Refuse("the backup %s is not a regular file (a folder or a device); name a file", path);
        return 0;
    }
    if (kind != PathAbsent && !force) {
        Refuse("the backup %s exists; --force replaces it (and keeps it beside as %s.1 or the next free number "
               "when it differs)",
               path, path);
        return 0;
    }
    return 1;
}

void PrintResult(int exitCode, const char* outcome, const char* backup)
{
    StepLine line;
    BeginStep(&line, "result");
    StepString(&line, "outcome", outcome);
    StepNumber(&line, "exit", uint64_t(exitCode));
    if (exitCode == UserNeedsRecovery) {
        StepString(&line, "backup", backup);
        StepString(&line, "restore_command", RestoreCommand(backup));
    }
    PrintStep(&line);
}

// After a refused merge: why, from the merge itself on a copy.
void PrintRefusedMerge()
{
    static uint8_t copy[PELMIX_ROM_DATA_SIZE];
    CopyBytes(copy, TheWizard.NewImage, sizeof copy);
    MergeResult why = MergeBiosTableChecked(TheSession.CardImage.Data, copy, uint32_t(TheSession.CardLength));
    StepLine line;
    BeginStep(&line, "merge");
    StepString(&line, "result", "refused");
    StepString(&line, "reason", MergeResultText(why));
    PrintStep(&line);
}

// What a card that needs recovery asks of the user, the first thing said:
// keep the computer running, then how the backup goes back, then what to do
// when that fails as well.
void TellRecovery(const char* backup)
{
    std::string target = TargetText(Line->User);
    std::string command = RestoreCommand(backup);
    // Paths make it longer than Refuse's buffer.
    std::string text = "keep this computer on and do not restart it: the card at " + target +
        " needs recovery. It still runs the BIOS it loaded at start, but its chip may hold no whole image, and "
        "after a restart the screen would stay black.\nThe backup is " +
        backup + "; put it back with:\n  " + command +
        "\nShould that restore end with exit 3 again, run it once more. Should the second try fail too, the chip "
        "cannot be written in this computer: copy the backup off it, switch it off, put the card into another "
        "computer beside a card that shows the picture and restore the backup there (bench flashing, as the "
        "guide's recovery steps show).";
    PrintMessage("error", text.c_str());
}

// The exit code of a write run: from what the write sequence did, and a
// check that a restored old image is on the chip. oldCopy: the file that
// holds the card's old image; backup: the file whose restore puts the card
// right when nothing is on it.
int WriteOutcome(ImageNextResult result, const char* oldCopy, const char* backup)
{
    if (result == ImageWritten) {
        StepLine line;
        BeginStep(&line, "verify");
        StepString(&line, "result", "verified");
        PrintStep(&line);
        PrintResult(UserDone, "written and verified", backup);
        return UserDone;
    }
    // The session ran when the page got as far as the write sequence.
    int ran = result == ImageNotWritten;
    if (!ran || TheSession.Outcome == FlashRefused) {
        if (result == ImageTooLongForChip || (ran && TheSession.Refusal == FlashImageTooLong))
            PrintMessage("error",
                         ("the image declares " + std::to_string(ImageDeclaredLength(TheWizard.NewImage)) +
                          " bytes, more than the chip's " + std::to_string(TheSession.CardLength))
                             .c_str());
        else if (ran && TheSession.Refusal == FlashMergeRefused)
            PrintRefusedMerge();
        PrintResult(UserRefused, FlashRun.Declined ? "not confirmed" : "refused", backup);
        return UserRefused;
    }
    // The write sequence reads a restored old image back and compares it.
    int restored = TheSession.Outcome == FlashRestored;
    if (TheSession.Restore == RestoreUnverified || TheSession.Restore == RestoreVerified) {
        StepLine line;
        BeginStep(&line, "verify");
        StepString(&line, "image", "old");
        StepString(&line, "result", restored ? "verified" : "failed");
        PrintStep(&line);
    }
    if (restored) {
        PrintMessage("error",
                     ("the new image was not written; the card's old image is back on it and verified "
                      "(saved as " +
                      std::string(oldCopy) + ")")
                         .c_str());
        PrintResult(UserRestored, "old image restored", oldCopy);
        return UserRestored;
    }
    TellRecovery(backup);
    PrintResult(UserNeedsRecovery, "needs recovery", backup);
    return UserNeedsRecovery;
}

int RunBackup()
{
    const UserCommand& user = Line->User;
    if (!BackupNameUsable(user.File, user.Force))
        return UserRefused;
    CardChecksum checksum;
    if (!SelectCard() || !TakeBackup(user.File, &checksum))
        return StoppedExit;
    PrintResult(UserDone, "saved and read back", user.File);
    return UserDone;
}

int RunFlash()
{
    const UserCommand& user = Line->User;
    // The backup would overwrite the image before it is read.
    if (user.File && SameFile(user.File, user.Backup))
        return Refuse("the backup %s and the image %s are the same file; name another backup file", user.Backup,
                      user.File);
    if (!ConfirmationPossible())
        return Refuse("no terminal to confirm the write on: give --yes");
    if (user.File ? !FileForOrvelCard(user.File, user.Force)
                  : InBuiltImagePresent() &&
                !ImageForOrvelCard("the in-built image", InBuiltImageData(), InBuiltImageSize(), user.Force))
        return UserRefused;
    if (!BackupNameUsable(user.Backup, user.Force))
        return UserRefused;
    CardChecksum checksum;
    if (!SelectCard() || !TakeBackup(user.Backup, &checksum))
        return StoppedExit;
    // A card image that fails its checksum has no board table to trust: as
    // after the wizard's read error, nothing is merged from it.
    ImagePageKind page = checksum == CardChecksumInvalid ? ReadErrorImagePage : StandardImagePage;
    if (page == ReadErrorImagePage && !user.NoMerge)
        return Refuse("the card's image fails its checksum, so its board table cannot be merged; "
                      "--no-merge writes the image as it is");
    TheWizard.DontMerge = user.NoMerge;
    TheWizard.IgnoreChecksum = user.IgnoreChecksum;
    TheWizard.IgnoreChecksumAfterReadError = user.IgnoreChecksum;
    TheWizard.MergeAfterReadError = 0;
    FlashRun.Yes = user.Yes;
    FlashRun.Merge = !user.NoMerge;
    // A waived image checksum is not asked of the read-back either.
    return WriteOutcome(
        ImagePageNext(&TheSession, PelmixctlHost, 0, page, user.InBuilt ? 0 : 1, user.File, !user.IgnoreChecksum),
        user.Backup, user.Backup);
}

// What makes a file to be restored doubtful over the chip's length: every
// byte 0xFF or 0x00, or a checksum that holds over neither length. "" when
// nothing does. problem holds 256 bytes.
void RestoreProblem(const char* file, const uint8_t* image, uint32_t length, char* problem)
{
    problem[0] = 0;
    uint32_t same = 0;
    while (same < length && image[same] == image[0])
        ++same;
    if (same == length && (image[0] == 0xFF || image[0] == 0x00))
        snprintf(problem, 256, "%s is blank (all %u bytes 0x%02X): the card would be left without a BIOS", file, length,
                 image[0]);
    else if (!ImageChecksumValid(image, length) && !ImageChecksumValidShort(image, length))
        snprintf(problem, 256,
                 "%s fails its checksum over the chip's %u bytes (and over 4480 less): it may not be "
                 "a backup of this card",
                 file, length);
}

int RunRestore()
{
    const UserCommand& user = Line->User;
    if (!ConfirmationPossible())
        return Refuse("no terminal to confirm the write on: give --yes");
    long size = FileSize(user.File);
    if (size < 0)
        return Refuse("cannot open %s", user.File);
    if (!FileForOrvelCard(user.File, user.Force))
        return UserRefused;
    // What the chip holds now is saved first, as flash saves it.
    std::string before = std::string(user.File) + ".before-restore";
    if (!BackupNameUsable(before.c_str(), 1))
        return UserRefused;
    CardChecksum checksum;
    if (!SelectCard() || !TakeBackup(before.c_str(), &checksum))
        return StoppedExit;
    // Files count in whole 32768-byte blocks; a cut backup is no backup.
    long whole = size / BiosImageBlockSize * BiosImageBlockSize;
    if (whole < TheSession.CardLength)
        return Refuse("%s holds %ld bytes in whole blocks, less than the chip's %d", user.File, whole,
                      TheSession.CardLength);
    static uint8_t image[PELMIX_ROM_DATA_SIZE];
    FILE* file = fopen(user.File, "rb");
    size_t got = file ? fread(image, 1, uint32_t(TheSession.CardLength), file) : 0;
    if (file)
        fclose(file);
    if (got != size_t(TheSession.CardLength))
        return Refuse("cannot read %s", user.File);
    RestoreProblem(user.File, image, uint32_t(TheSession.CardLength), FlashRun.Doubt);
    if (FlashRun.Doubt[0] && user.Force)
        FlashRun.Doubt[0] = 0;  // asked and answered on the command line
    if (FlashRun.Doubt[0] && user.Yes)
        return Refuse("%s; --force writes it all the same", FlashRun.Doubt);
    // A backup goes back as it was read: its bytes, not its checksum, prove it.
    TheWizard.DontMerge = 1;
    TheWizard.IgnoreChecksum = 1;
    FlashRun.Yes = user.Yes;
    FlashRun.Merge = 0;
    // What goes back when FILE does not take is what the chip held before.
    return WriteOutcome(ImagePageNext(&TheSession, PelmixctlHost, 0, StandardImagePage, 1, user.File, 0),
                        before.c_str(), user.File);
}

int RunVerify()
{
    const UserCommand& user = Line->User;
    static uint8_t expected[PELMIX_ROM_DATA_SIZE + 1];
    FILE* file = fopen(user.File, "rb");
    if (!file)
        return Refuse("cannot open %s", user.File);
    size_t got = fread(expected, 1, sizeof expected, file);
    fclose(file);
    if (got > PELMIX_ROM_DATA_SIZE)
        return Refuse("%s is larger than %u bytes", user.File, PELMIX_ROM_DATA_SIZE);
    if (!SelectCard())
        return StoppedExit;
    static PELMIX_ROM_TRANSFER chip;
    int32_t length = ReadChipForCheck(&chip);
    if (length < 0)
        return Refuse("the card's image could not be read");
    uint32_t difference = 0;
    while (difference < uint32_t(length) && difference < got && chip.Data[difference] == expected[difference])
        ++difference;
    int equal = difference == uint32_t(length);
    StepLine line;
    BeginStep(&line, "verify");
    StepString(&line, "file", user.File);
    StepString(&line, "result", equal ? "equal" : "different");
    if (!equal)
        StepNumber(&line, "first_difference", difference);
    PrintStep(&line);
    PrintResult(equal ? UserDone : UserRefused, equal ? "equal" : "different", user.File);
    return equal ? UserDone : UserRefused;
}

// A version text on one line: each run of line breaks a single blank, any
// other control byte (an erased or broken table's) a question mark.
std::string OneLine(const char* text)
{
    std::string line;
    for (const char* p = text; *p; ++p) {
        int isBreak = *p == '\r' || *p == '\n';
        unsigned char c = static_cast<unsigned char>(*p);
        if (!isBreak)
            line += c < 0x20 || c == 0x7F ? '?' : *p;
        else if (!line.empty() && line.back() != ' ' && p[1] && p[1] != '\r' && p[1] != '\n')
            line += ' ';
    }
    return line;
}

// Every card the driver lists, with what its chip holds: the BIOS version
// text as the device page's More info reads it and the checksum as the
// backup step tests it, so that a card whose BIOS is incomplete can be told
// from the others. Each read stops the screen as More info does.
int RunCards()
{
    TransportSettings settings = {Line->MachinePath, 0};
    char error[512] = "";
    if (!TransportOpen(&settings, error, sizeof error)) {
        PrintMessage("error", error);
        return UserRefused;
    }
    InitWizardState(&TheWizard);
    PELMIX_DEVICE_LIST& list = TheWizard.DeviceList;
    uint32_t returned = 0;
    if (!PelmixctlHost.Request(IOCTL_PELMIX_ENUM_DEVICES, &list, sizeof list, &returned) || returned < 8 ||
        list.Status != 0)
        return Refuse("no Orvel card was found");
    // The chip is not identified first: the longest wait of any.
    const ChipWaits* waits = WaitsOfChip(PELMIX_RESULT_UNKNOWN_CHIP, 0);
    static PELMIX_ROM_TRANSFER record;
    uint32_t unread = 0;
    for (uint32_t i = 0; i < list.Count && i < PELMIX_MAX_DEVICES; ++i) {
        const PELMIX_DEVICE_ENTRY& entry = list.Entries[i];
        memset(&record, 0, sizeof record);
        record.Header.Bus = entry.Bus;
        record.Header.Device = entry.Device;
        record.Header.Function = entry.Function;
        char target[16], id[16], name[TextBufferSize];
        snprintf(target, sizeof target, "%u:%02x.%x", entry.Bus, entry.Device, entry.Function);
        snprintf(id, sizeof id, "%04X:%04X", entry.VendorId, entry.DeviceId);
        CardListLine(&entry, name, sizeof name);
        AnnounceStep("card", ReadHoldMs(waits), 1);
        int delivered = PelmixctlHost.Request(IOCTL_PELMIX_READ_ROM, &record, sizeof record, &returned);
        int32_t length = int32_t(returned) - int32_t(sizeof record.Header);
        int read = delivered && record.Header.Status == 0 && UsableImageLength(length);
        StepLine line;
        BeginStep(&line, "card");
        StepString(&line, "target", target);
        StepString(&line, "id", id);
        StepString(&line, "card", name);
        // As the machine started it: a card whose BIOS did not run may be left off.
        StepString(&line, "memory", entry.MemoryEnabled ? "on" : "off");
        if (delivered)
            StepNumber(&line, "Status", record.Header.Status);
        if (!read) {
            ++unread;
            StepString(&line, "checksum", "not read");
            PrintStep(&line);
            continue;
        }
        static const char* const Results[] = {"valid", "valid over length less 4480", "invalid"};
        uint32_t checksum = ImageChecksumValid(record.Data, uint32_t(length)) ? 0
            : ImageChecksumValidShort(record.Data, uint32_t(length))          ? 1
                                                                              : 2;
        char version[VersionTextSize] = "";
        CardVersionOfImage(record.Data, version);
        StepNumber(&line, "bytes", uint64_t(length));
        StepString(&line, "checksum", Results[checksum]);
        StepString(&line, "version", OneLine(version));
        PrintStep(&line);
    }
    StepLine line;
    BeginStep(&line, "result");
    StepString(&line, "outcome", unread ? "listed, not every card read" : "listed");
    StepNumber(&line, "cards", list.Count);
    StepNumber(&line, "exit", unread ? UserRefused : UserDone);
    PrintStep(&line);
    return unread ? UserRefused : UserDone;
}

}  // namespace

int RunUserCommand(const CommandLine* line)
{
    Line = line;
    SetReportJson(line->Json);
    FlashRun = FlashRunRecord();
    StoppedExit = UserRefused;
    UseWizardHost(&PelmixctlHost);
    int exitCode = UserRefused;
    switch (line->User.Kind) {
    case UserBackup: exitCode = RunBackup(); break;
    case UserFlash: exitCode = RunFlash(); break;
    case UserRestore: exitCode = RunRestore(); break;
    case UserVerify: exitCode = RunVerify(); break;
    case UserCards: exitCode = RunCards(); break;
    default: break;
    }
    TransportClose();
    return exitCode;
}
