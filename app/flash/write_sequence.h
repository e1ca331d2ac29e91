/* A flash session: the two steps that touch the card's flash chip, the
   backup read (BackupStep) and the write with its restore and read-back
   check (WriteSequence), over one record of the images they move. Both
   reach the driver and the user through the WizardHost handed in, so the
   same logic runs in the program, in pelmixctl and in native tests. */
#ifndef DORVANE_WRITE_SEQUENCE_H
#define DORVANE_WRITE_SEQUENCE_H

#include <stdint.h>

#include "backup_file.h"
#include "pelmix_ioctl.h"
#include "wizard_host.h"

/* What became of the old image in the last WriteSequence. */
enum RestoreOutcome {
    RestoreNotTried,   /* not needed, or no image from the card to write */
    RestoreRefused,    /* the write of the old image failed */
    RestoreUnverified, /* written, but it did not read back as the old image */
    RestoreVerified,   /* written and read back equal over the chip length */
};

/* How the last WriteSequence ended. */
enum FlashOutcome {
    FlashSkipped,       /* test mode: nothing was sent */
    FlashWritten,       /* the new image is on the chip and verified */
    FlashRefused,       /* the chip was not touched; Refusal says why */
    FlashRestored,      /* the new image failed; the old one is back and verified */
    FlashNeedsRecovery, /* the chip holds neither image for sure */
};

enum FlashRefusal {
    FlashNotRefused,
    FlashImageTooLong, /* the new image declares more than the chip holds */
    FlashMergeRefused, /* no board table could be carried into it */
};

struct FlashSession {
    PELMIX_ROM_TRANSFER CardImage;    /* the backup read; sent back by a restore */
    PELMIX_ROM_TRANSFER NewImage;     /* the new image as sent */
    PELMIX_ROM_TRANSFER ReadBack;     /* the chip after writing */
    PELMIX_ROM_TRANSFER RestoreCheck; /* the chip after the old image went back */
    /* Reply byte count of the backup read less 16: the chip size after a
       good read, meaningless (possibly negative) after a failed one. */
    int32_t CardLength;
    int32_t CardHeld; /* CardImage holds what the card returned */
    /* The name under which the last backup step kept an earlier file of the
       backup's name that held other bytes; "" when none was moved. */
    char KeptBackupName[BackupNameSize];
    FlashOutcome Outcome;
    FlashRefusal Refusal;
    RestoreOutcome Restore;
};

/* The wizard's one session, in static storage: the pages are destroyed as
   the user moves on, and the images outlive them. */
extern FlashSession TheSession;

/* The choices of a session. */
struct FlashPlan {
    const char* BackupPath;   /* the backup file */
    int32_t SaveBackup;       /* write the backup file */
    int32_t TestCardChecksum; /* the backup read must pass its checksum */
    uint8_t* Image;           /* the new image (PELMIX_ROM_DATA_SIZE bytes), merged in place */
    int32_t Merge;            /* carry the card's board table into Image */
    /* The read-back must pass the checksum test as well as the byte
       comparison (the wizard's rule). Clear for an image whose checksum was
       not required (a backup put back as it was read, an image whose test
       was waived): the comparison alone then proves the write. */
    int32_t ReadBackChecksum;
};

/* Why a backup step failed. */
enum BackupFailure {
    BackupNoFailure,
    BackupReadFailed,     /* the driver gave no image: no file written */
    BackupChecksumFailed, /* the image was read (and saved when asked) */
    BackupFileFailed,     /* the file could not be written whole: none is left */
};

/* Reads the selected card into CardImage, tests its checksum when the plan
   asks (over the chip size, or 4480 bytes less), and writes the
   131072-byte backup file when it asks (SaveBackupFile: whole on the disk
   before anything else happens, an earlier file kept), whatever the
   checksum: an image the user may still choose to overwrite must exist
   somewhere. 0 when the read, the checksum or the file failed, with the
   reason in failure (a file failure before a checksum failure); nothing is
   shown. */
int BackupStep(FlashSession* session, const FlashPlan& plan, const WizardHost& host, BackupFailure* failure = 0);

/* Refuses (with the invalid-image text of "NoBiosImage", the chip
   untouched) an Image that declares more bytes than the chip holds when the
   backup read gave the chip size, and (with "BadBiosMerge") a merge that
   cannot be made; merges (when the plan asks), writes the Image, reads back and verifies;
   restores the old image (when one is held) after a failed write and after
   a failed read-back or verification, and reads it back: one that is not on
   the chip afterwards is told with "NoBiosRestore" and ends the run. Every
   failure is told to the user; the run must then end when EndRun was
   called. The outcome is also left in the session. */
FlashOutcome WriteSequence(FlashSession* session, const FlashPlan& plan, const WizardHost& host, void* owner);

/* 1 when the length image's option ROM header declares (size byte times
   512) fits a chip of chipLength bytes. */
int ImageFitsChip(const uint8_t* image, int32_t chipLength);

/* 1 when length is a usable image length (17 to 131072 bytes). */
int UsableImageLength(int32_t length);

#endif
