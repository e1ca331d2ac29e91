/* The two steps that touch the card's flash chip: the backup read
   (BackupStep) and the write with its restore and read-back check
   (WriteSequence). Both reach the driver and the user through WizardHost,
   so the same logic runs in the program and in native tests. */
#ifndef DORVANE_WRITE_SEQUENCE_H
#define DORVANE_WRITE_SEQUENCE_H

#include <stdint.h>

#include "pelmix_ioctl.h"

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

/* What the wizard's logic needs from the platform. */
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
};

/* Defined by the platform layer (the program, or a test's fake). */
extern WizardHost TheHost;

extern PELMIX_ROM_TRANSFER CurrentImage;  /* the card's image from the backup read */
extern PELMIX_ROM_TRANSFER WriteRequest;  /* the new image as sent */
extern PELMIX_ROM_TRANSFER ReadBackImage; /* the chip after writing */
/* The chip after the old image was written back, compared with CurrentImage. */
extern PELMIX_ROM_TRANSFER RestoreCheckImage;
/* Reply byte count of the backup read less 16: the chip size after a good
   read, meaningless (possibly negative) after a failed one. */
extern int32_t CurrentImageLength;

/* 1 while CurrentImage holds an image the card returned (the last backup
   read succeeded with a usable length). */
int CurrentImageHeld();

/* Why a backup step failed. */
enum BackupFailure {
    BackupNoFailure,
    BackupReadFailed,     /* the driver gave no image: no file written */
    BackupChecksumFailed, /* the image was read (and saved when asked) */
    BackupFileFailed,     /* the file could not be written whole: none is left */
};

/* Reads the selected card into CurrentImage, tests its checksum when
   validate is set (over the chip size, or 4480 bytes less), and writes the
   131072-byte backup file when save is set (SaveBackupFile: whole on the
   disk before anything else happens, an earlier file kept), whatever the
   checksum: an image the user may still choose to overwrite must exist
   somewhere. 0 when the
   read, the checksum or the file failed, with the reason in failure (a file
   failure before a checksum failure); nothing is shown. */
int BackupStep(const char* path, int validate, int save, BackupFailure* failure = 0);

/* The name under which the last backup step kept an earlier file of the
   backup's name that held other bytes; "" when none was moved. */
extern char KeptBackupName[];

/* Refuses (with "BadBiosMerge", the chip untouched) a NewImage that
   declares more bytes than the chip holds when the backup read gave the
   chip size; merges (when MergeTable is set), writes NewImage, reads back
   and verifies; restores the old image (when one is held) after a failed
   write and after a failed read-back or verification, and reads it back:
   one that is not on the chip afterwards is told with "NoBiosRestore" and
   ends the run. 1 when the new image is on the chip and verified (or the
   write was skipped with NoWrite), else 0 after telling the user; the run
   must then end when EndRun was called. */
int WriteSequence(void* owner);

/* What became of the old image in the last WriteSequence. */
enum RestoreOutcome {
    RestoreNotTried,   /* not needed, or no image from the card to write */
    RestoreRefused,    /* the write of the old image failed */
    RestoreUnverified, /* written, but it did not read back as the old image */
    RestoreVerified,   /* written and read back equal over the chip length */
};
RestoreOutcome LastRestoreOutcome();

/* 1 when the length image's option ROM header declares (size byte times
   512) fits a chip of chipLength bytes. */
int ImageFitsChip(const uint8_t* image, int32_t chipLength);

/* 1 (the wizard's rule): the read-back must pass the checksum test as well
   as the byte comparison. A caller that writes an image whose checksum it
   did not require (a backup put back as it was read, an image whose test
   was waived) clears it: the comparison alone then proves the write. */
extern int ReadBackChecksumTest;

/* Looks up a text of texts.txt (setup.cfg, string table, built-in default),
   fills its "%d" or "%s" with arg, and shows it; caption 0 means the
   installer title. Returns the answer. */
struct FormatArg;
struct TextRef;
int TellUser(void* owner, const TextRef& shown, uint32_t type, const FormatArg* arg = 0, const char* caption = 0,
             int highlight = 0);

/* 1 when length is a usable image length (17 to 131072 bytes). */
int UsableImageLength(int32_t length);

#endif
