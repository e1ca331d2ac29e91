#include "write_sequence.h"

#include "bios_merge.h"
#include "byte_routines.h"
#include "command_line.h"
#include "fixed_texts.h"
#include "format_text.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_state.h"

FlashSession TheSession;

namespace {

const uint32_t RecordSize = sizeof(PELMIX_ROM_TRANSFER);
const uint32_t HeaderSize = sizeof(PELMIX_REQUEST_HEADER);

enum RequestOutcome { RequestCallFailed, RequestRefused, RequestDone };

// One session run: what every step reaches.
struct Run {
    FlashSession* Session;
    const FlashPlan* Plan;
    const WizardHost* Host;
    void* Owner;
};

void TellStep(const WizardHost& host, FlashStep step)
{
    if (host.Step)
        host.Step(step);
}

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

RequestOutcome SendRecord(const WizardHost& host, FlashStep step, uint32_t code, PELMIX_ROM_TRANSFER* record,
                          uint32_t* returned)
{
    *returned = 0;
    TellStep(host, step);
    if (!host.Request(code, record, RecordSize, returned))
        return RequestCallFailed;
    return record->Header.Status == 0 ? RequestDone : RequestRefused;
}

int Tell(const Run& run, const TextRef& shown, uint32_t type, const FormatArg* arg = 0, int highlight = 0)
{
    return ShowTextBox(*run.Host, run.Owner, shown, type, arg, 0, highlight);
}

// The "...Err" text with the driver's code when it refused, else the plain one.
void TellFailure(const Run& run, RequestOutcome outcome, uint32_t status, const TextRef& errText,
                 const TextRef& plainText, uint32_t type, int highlight)
{
    if (outcome == RequestRefused) {
        FormatArg code = FormatArg(long(status));
        Tell(run, errText, type, &code, highlight);
    } else {
        Tell(run, plainText, type, 0, highlight);
    }
}

int CardChecksumValid(const FlashSession& session)
{
    uint32_t length = uint32_t(session.CardLength);
    if (ImageChecksumValid(session.CardImage.Data, length))
        return 1;
    return ImageChecksumValidShort(session.CardImage.Data, length);
}

// Reads the chip into RestoreCheck and compares it with the old image over
// the chip length.
RequestOutcome CheckRestoredImage(const Run& run, int* equal)
{
    FlashSession& s = *run.Session;
    *equal = 0;
    TargetSelectedCard(&s.RestoreCheck);
    FillBytes(s.RestoreCheck.Data, 0, sizeof s.RestoreCheck.Data);
    uint32_t returned = 0;
    RequestOutcome reread =
        SendRecord(*run.Host, FlashStepRestoreRead, IOCTL_PELMIX_READ_ROM, &s.RestoreCheck, &returned);
    if (reread == RequestDone)
        *equal = int32_t(returned) - int32_t(HeaderSize) == s.CardLength &&
            CompareBytes(s.RestoreCheck.Data, s.CardImage.Data, uint32_t(s.CardLength)) == 0;
    return reread;
}

// Writes the card's old image back and reads it back. Without one there is
// nothing sound to write; that, a refused restore or one that does not read
// back as the old image, is told and ends the run. readBack: the read-back
// of the new image was answered, so its check is what failed.
FlashOutcome RestoreOldImage(const Run& run, int readBack)
{
    FlashSession& s = *run.Session;
    uint32_t returned = 0;
    RequestOutcome restored = RequestCallFailed;
    if (s.CardHeld) {
        if (readBack)
            TellStep(*run.Host, FlashStepVerifyFailed);
        restored = SendRecord(*run.Host, FlashStepRestore, IOCTL_PELMIX_WRITE_ROM, &s.CardImage, &returned);
    }
    s.Restore = s.CardHeld ? RestoreRefused : RestoreNotTried;
    uint32_t status = s.CardImage.Header.Status;
    if (restored == RequestDone) {
        int equal = 0;
        restored = CheckRestoredImage(run, &equal);
        status = s.RestoreCheck.Header.Status;
        if (restored == RequestDone && equal) {
            s.Restore = RestoreVerified;
            return FlashRestored;
        }
        s.Restore = RestoreUnverified;
        if (restored == RequestDone)
            restored = RequestCallFailed;  // read, but not the old image: the plain text
    }
    TellFailure(run, restored, status, TextNoBiosRestoreErr, TextNoBiosRestore, BoxOk | BoxIconError, 0);
    run.Host->EndRun();
    return FlashNeedsRecovery;
}

FlashOutcome Refuse(const Run& run, FlashRefusal why)
{
    run.Session->Refusal = why;
    if (why == FlashImageTooLong)
        Tell(run, TextNoBiosImageInvalid, BoxOk);  // the image is no use on this card
    else
        Tell(run, TextBadBiosMerge, BoxOk | BoxIconError);
    return FlashRefused;
}

FlashOutcome RunWrite(const Run& run)
{
    FlashSession& s = *run.Session;
    const FlashPlan& plan = *run.Plan;
    const WizardHost& host = *run.Host;
    if (OptionFlags.NoWrite) {
        host.Box(run.Owner, WriteSkippedText, DebugCaption, BoxOk | BoxIconInformation, 0);
        return FlashSkipped;
    }

    // An image longer than the chip would be cut short and its checksum
    // repaired over the part that fits; the chip size is known only from the
    // backup read.
    if (s.CardHeld && !ImageFitsChip(plan.Image, s.CardLength))
        return Refuse(run, FlashImageTooLong);

    // Merge: without an image read from the card there is no table to carry.
    if (plan.Merge && (!s.CardHeld || !MergeBiosTable(s.CardImage.Data, plan.Image, uint32_t(s.CardLength))))
        return Refuse(run, FlashMergeRefused);

    // Write, and put the old image back when that fails.
    CopyBytes(s.NewImage.Data, plan.Image, sizeof s.NewImage.Data);
    TargetSelectedCard(&s.NewImage);
    TellStep(host, plan.Merge ? FlashStepMerged : FlashStepNotMerged);
    uint32_t returned = 0;
    RequestOutcome written = SendRecord(host, FlashStepWrite, IOCTL_PELMIX_WRITE_ROM, &s.NewImage, &returned);
    if (written != RequestDone) {
        TellFailure(run, written, s.NewImage.Header.Status, TextNoBiosWriteErr, TextNoBiosWrite, BoxOk | BoxIconWarning,
                    1);
        return RestoreOldImage(run, 0);
    }

    // Read back.
    TargetSelectedCard(&s.ReadBack);
    FillBytes(s.ReadBack.Data, 0, sizeof s.ReadBack.Data);
    RequestOutcome reread = SendRecord(host, FlashStepReadBack, IOCTL_PELMIX_READ_ROM, &s.ReadBack, &returned);
    int answered = reread == RequestDone;
    // The chip size: the backup read's, or the read-back's own when the
    // backup read brought no image.
    int32_t length = s.CardHeld ? s.CardLength : int32_t(returned) - int32_t(HeaderSize);
    if (reread == RequestDone && !UsableImageLength(length))
        reread = RequestCallFailed;
    if (reread != RequestDone) {
        TellFailure(run, reread, s.ReadBack.Header.Status, TextNoBiosRereadErr, TextNoBiosReread, BoxOk | BoxIconError,
                    0);
        host.EndRun();
        // An unproven image may leave the card unable to show a screen again.
        return s.CardHeld ? RestoreOldImage(run, answered) : FlashNeedsRecovery;
    }

    // Verify: the checksum, then every byte, the second also after the first failed.
    int verified = 1;
    if ((plan.ReadBackChecksum && !ImageChecksumValid(s.ReadBack.Data, uint32_t(length))) ||
        OptionFlags.ForceWriteCsErr) {
        Tell(run, TextRereadCsErr, BoxOk | BoxIconError);
        host.EndRun();
        verified = 0;
    }
    if (CompareBytes(s.ReadBack.Data, plan.Image, uint32_t(length)) != 0) {
        Tell(run, TextRereadMemcmpErr, BoxOk | BoxIconError);
        host.EndRun();
        verified = 0;
    }
    if (verified)
        return FlashWritten;
    return s.CardHeld ? RestoreOldImage(run, 1) : FlashNeedsRecovery;
}

}  // namespace

int UsableImageLength(int32_t length)
{
    return length >= int32_t(BiosRepairMinLength) && length <= int32_t(BiosImageBufferSize);
}

int ImageFitsChip(const uint8_t* image, int32_t chipLength)
{
    return chipLength >= 0 && ImageDeclaredLength(image) <= uint32_t(chipLength);
}

int BackupStep(FlashSession* session, const FlashPlan& plan, const WizardHost& host, BackupFailure* failure)
{
    FlashSession& s = *session;
    BackupFailure why = BackupNoFailure;
    s.CardHeld = 0;
    s.KeptBackupName[0] = 0;
    FillBytes(s.CardImage.Data, 0, sizeof s.CardImage.Data);
    TargetSelectedCard(&s.CardImage);
    uint32_t returned = 0;
    if (SendRecord(host, FlashStepBackup, IOCTL_PELMIX_READ_ROM, &s.CardImage, &returned) != RequestDone)
        why = BackupReadFailed;
    s.CardLength = int32_t(returned) - int32_t(HeaderSize);
    if (why == BackupNoFailure && !UsableImageLength(s.CardLength))
        why = BackupReadFailed;  // a reply that carries no whole image
    s.CardHeld = why == BackupNoFailure;

    if (s.CardHeld && plan.TestCardChecksum && !CardChecksumValid(s))
        why = BackupChecksumFailed;
    // Saved whatever its checksum: the user may still go on and overwrite
    // the chip. A file that cannot be written outranks the checksum, since
    // going on would leave no copy at all.
    if (s.CardHeld && plan.SaveBackup &&
        SaveBackupFile(plan.BackupPath, s.CardImage.Data, sizeof s.CardImage.Data, s.KeptBackupName) != BackupSaved)
        why = BackupFileFailed;
    if (failure)
        *failure = why;
    return why == BackupNoFailure;
}

FlashOutcome WriteSequence(FlashSession* session, const FlashPlan& plan, const WizardHost& host, void* owner)
{
    session->Restore = RestoreNotTried;
    session->Refusal = FlashNotRefused;
    Run run = {session, &plan, &host, owner};
    session->Outcome = RunWrite(run);
    return session->Outcome;
}
