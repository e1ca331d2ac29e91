#include "write_sequence.h"

#include "backup_file.h"
#include "bios_merge.h"
#include "command_line.h"
#include "format_text.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_state.h"

PELMIX_ROM_TRANSFER CurrentImage;
PELMIX_ROM_TRANSFER WriteRequest;
PELMIX_ROM_TRANSFER ReadBackImage;
PELMIX_ROM_TRANSFER RestoreCheckImage;
int32_t CurrentImageLength;
int ReadBackChecksumTest = 1;
char KeptBackupName[BackupNameSize];

namespace {

const uint32_t RecordSize = sizeof(PELMIX_ROM_TRANSFER);
const uint32_t HeaderSize = sizeof(PELMIX_REQUEST_HEADER);

int HeldImage;  // CurrentImage holds what the card returned
RestoreOutcome LastRestore = RestoreNotTried;

enum RequestOutcome { RequestCallFailed, RequestRefused, RequestDone };

void TargetSelectedCard(PELMIX_ROM_TRANSFER* record)
{
    record->Header.Status = 0;
    int32_t i = TheWizard.SelectedDevice;
    if (i < 0 || i >= int32_t(PELMIX_MAX_DEVICES))
        i = 0;
    const PELMIX_DEVICE_ENTRY& entry = TheWizard.DeviceList.Entries[i];
    record->Header.Bus = entry.Bus;
    record->Header.Device = entry.Device;
    record->Header.Function = entry.Function;
}

RequestOutcome SendRecord(uint32_t code, PELMIX_ROM_TRANSFER* record, uint32_t* returned)
{
    *returned = 0;
    if (!TheHost.Request(code, record, RecordSize, returned))
        return RequestCallFailed;
    return record->Header.Status == 0 ? RequestDone : RequestRefused;
}

// The "...Err" text with the driver's code when it refused, else the plain one.
void TellFailure(void* owner, RequestOutcome outcome, uint32_t status, const TextRef& errText, const TextRef& plainText,
                 uint32_t type, int highlight)
{
    if (outcome == RequestRefused) {
        FormatArg code = FormatArg(long(status));
        TellUser(owner, errText, type, &code, 0, highlight);
    } else {
        TellUser(owner, plainText, type, 0, 0, highlight);
    }
}

int WriteBackup(const char* path)
{
    return SaveBackupFile(path, CurrentImage.Data, sizeof CurrentImage.Data, KeptBackupName) == BackupSaved;
}

int CurrentChecksumValid()
{
    uint32_t length = uint32_t(CurrentImageLength);
    if (ImageChecksumValid(CurrentImage.Data, length))
        return 1;
    return ImageChecksumValidShort(CurrentImage.Data, length);
}

// Reads the chip into RestoreCheckImage and compares it with the old image
// over the chip length.
RequestOutcome CheckRestoredImage(int* equal)
{
    *equal = 0;
    TargetSelectedCard(&RestoreCheckImage);
    FillBytes(RestoreCheckImage.Data, 0, sizeof RestoreCheckImage.Data);
    uint32_t returned = 0;
    RequestOutcome reread = SendRecord(IOCTL_PELMIX_READ_ROM, &RestoreCheckImage, &returned);
    if (reread == RequestDone)
        *equal = int32_t(returned) - int32_t(HeaderSize) == CurrentImageLength &&
            CompareBytes(RestoreCheckImage.Data, CurrentImage.Data, uint32_t(CurrentImageLength)) == 0;
    return reread;
}

// Writes the card's old image back and reads it back. Without one there is
// nothing sound to write; that, a refused restore or one that does not read
// back as the old image, is told and ends the run.
void RestoreOldImage(void* owner)
{
    uint32_t returned = 0;
    RequestOutcome restored = RequestCallFailed;
    if (HeldImage)
        restored = SendRecord(IOCTL_PELMIX_WRITE_ROM, &CurrentImage, &returned);
    LastRestore = HeldImage ? RestoreRefused : RestoreNotTried;
    uint32_t status = CurrentImage.Header.Status;
    if (restored == RequestDone) {
        int equal = 0;
        restored = CheckRestoredImage(&equal);
        status = RestoreCheckImage.Header.Status;
        if (restored == RequestDone && equal) {
            LastRestore = RestoreVerified;
            return;
        }
        LastRestore = RestoreUnverified;
        if (restored == RequestDone)
            restored = RequestCallFailed;  // read, but not the old image: the plain text
    }
    TellFailure(owner, restored, status, TextNoBiosRestoreErr, TextNoBiosRestore, BoxOk | BoxIconError, 0);
    TheHost.EndRun();
}

}  // namespace

int UsableImageLength(int32_t length)
{
    return length >= int32_t(BiosRepairMinLength) && length <= int32_t(BiosImageBufferSize);
}

int CurrentImageHeld()
{
    return HeldImage;
}

RestoreOutcome LastRestoreOutcome()
{
    return LastRestore;
}

int ImageFitsChip(const uint8_t* image, int32_t chipLength)
{
    return chipLength >= 0 && ImageDeclaredLength(image) <= uint32_t(chipLength);
}

int TellUser(void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg, const char* caption, int highlight)
{
    char format[TextBufferSize];
    LookupText(shown, format);
    // Room for a configured format with a long argument.
    char text[2 * TextBufferSize + 64];
    if (arg)
        FormatText(text, sizeof text, format, *arg);
    else
        CopyText(text, sizeof text, format);
    return TheHost.Box(owner, text, caption, type, highlight);
}

int BackupStep(const char* path, int validate, int save, BackupFailure* failure)
{
    BackupFailure why = BackupNoFailure;
    HeldImage = 0;
    KeptBackupName[0] = 0;
    FillBytes(CurrentImage.Data, 0, sizeof CurrentImage.Data);
    TargetSelectedCard(&CurrentImage);
    uint32_t returned = 0;
    if (SendRecord(IOCTL_PELMIX_READ_ROM, &CurrentImage, &returned) != RequestDone)
        why = BackupReadFailed;
    CurrentImageLength = int32_t(returned) - int32_t(HeaderSize);
    if (why == BackupNoFailure && !UsableImageLength(CurrentImageLength))
        why = BackupReadFailed;  // a reply that carries no whole image
    HeldImage = why == BackupNoFailure;

    if (HeldImage && validate && !CurrentChecksumValid())
        why = BackupChecksumFailed;
    // Saved whatever its checksum: the user may still go on and overwrite
    // the chip. A file that cannot be written outranks the checksum, since
    // going on would leave no copy at all.
    if (HeldImage && save && !WriteBackup(path))
        why = BackupFileFailed;
    if (failure)
        *failure = why;
    return why == BackupNoFailure;
}

int WriteSequence(void* owner)
{
    LastRestore = RestoreNotTried;
    if (OptionFlags.NoWrite) {
        TheHost.Box(owner, "Test mode: BIOS write has been skipped", "Debug Message", BoxOk | BoxIconInformation, 0);
        return 1;
    }

    // An image longer than the chip would be cut short and its checksum
    // repaired over the part that fits; the chip size is known only from the
    // backup read.
    if (HeldImage && !ImageFitsChip(TheWizard.NewImage, CurrentImageLength)) {
        TellUser(owner, TextBadBiosMerge, BoxOk | BoxIconError);
        return 0;
    }

    // Merge: without an image read from the card there is no table to carry.
    if (TheWizard.MergeTable &&
        (!HeldImage || !MergeBiosTable(CurrentImage.Data, TheWizard.NewImage, uint32_t(CurrentImageLength)))) {
        TellUser(owner, TextBadBiosMerge, BoxOk | BoxIconError);
        return 0;
    }

    // Write, and put the old image back when that fails.
    CopyBytes(WriteRequest.Data, TheWizard.NewImage, sizeof WriteRequest.Data);
    TargetSelectedCard(&WriteRequest);
    uint32_t returned = 0;
    RequestOutcome written = SendRecord(IOCTL_PELMIX_WRITE_ROM, &WriteRequest, &returned);
    if (written != RequestDone) {
        TellFailure(owner, written, WriteRequest.Header.Status, TextNoBiosWriteErr, TextNoBiosWrite,
                    BoxOk | BoxIconWarning, 1);
        RestoreOldImage(owner);
        return 0;
    }

    // Read back.
    TargetSelectedCard(&ReadBackImage);
    FillBytes(ReadBackImage.Data, 0, sizeof ReadBackImage.Data);
    RequestOutcome reread = SendRecord(IOCTL_PELMIX_READ_ROM, &ReadBackImage, &returned);
    // The chip size: the backup read's, or the read-back's own when the
    // backup read brought no image.
    int32_t length = HeldImage ? CurrentImageLength : int32_t(returned) - int32_t(HeaderSize);
    if (reread == RequestDone && !UsableImageLength(length))
        reread = RequestCallFailed;
    if (reread != RequestDone) {
        TellFailure(owner, reread, ReadBackImage.Header.Status, TextNoBiosRereadErr, TextNoBiosReread,
                    BoxOk | BoxIconError, 0);
        TheHost.EndRun();
        // An unproven image may leave the card unable to show a screen again.
        if (HeldImage)
            RestoreOldImage(owner);
        return 0;
    }

    // Verify: the checksum, then every byte, the second also after the first failed.
    int result = 1;
    if ((ReadBackChecksumTest && !ImageChecksumValid(ReadBackImage.Data, uint32_t(length))) ||
        OptionFlags.ForceWriteCsErr) {
        TellUser(owner, TextRereadCsErr, BoxOk | BoxIconError);
        TheHost.EndRun();
        result = 0;
    }
    if (CompareBytes(ReadBackImage.Data, TheWizard.NewImage, uint32_t(length)) != 0) {
        TellUser(owner, TextRereadMemcmpErr, BoxOk | BoxIconError);
        TheHost.EndRun();
        result = 0;
    }
    if (!result && HeldImage)
        RestoreOldImage(owner);
    return result;
}
