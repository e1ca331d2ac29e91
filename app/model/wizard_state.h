/* The one record of the user's choices and of the new image. The pages are
   destroyed as the user moves on, so whatever a later step needs lives here
   for the whole run. Only the UI thread touches it. */
#ifndef DORVANE_WIZARD_STATE_H
#define DORVANE_WIZARD_STATE_H

#include <stddef.h>
#include <stdint.h>

#include "pelmix_ioctl.h"

enum : uint32_t { WizardPathSize = 260 };

struct WizardState {
    PELMIX_DEVICE_LIST DeviceList; /* the driver's card list, as received */
    int32_t SelectedDevice;        /* index into DeviceList.Entries */
    char BackupFolder[WizardPathSize];
    char BackupPath[WizardPathSize];
    int32_t BackupEnabled; /* flags: 0 or 1 */
    int32_t ValidateCurrentImage;
    int32_t ReadChecksumFailed; /* never cleared during a run */
    int32_t DontMerge;
    int32_t IgnoreChecksum;
    int32_t MergeAfterReadError;
    int32_t IgnoreChecksumAfterReadError;
    int32_t MergeTable;
    int32_t InBuiltImageAvailable;
    uint8_t NewImage[PELMIX_ROM_DATA_SIZE];
    uint32_t NewImageSize; /* bytes loaded and covered by the checksum test */
};

static_assert(offsetof(WizardState, SelectedDevice) == 456, "SelectedDevice follows the device list");
static_assert(offsetof(WizardState, BackupFolder) == 460, "BackupFolder");
static_assert(offsetof(WizardState, BackupEnabled) == 980, "flags follow the paths");
static_assert(offsetof(WizardState, InBuiltImageAvailable) == 1012, "InBuiltImageAvailable");
static_assert(offsetof(WizardState, NewImage) == 1016, "NewImage");
static_assert(sizeof(WizardState) == 1016 + PELMIX_ROM_DATA_SIZE + 4, "WizardState size");

/* The program's one instance, holding the initial values from the start. */
extern WizardState TheWizard;

/* Puts the initial values into state: everything zero or empty except
   BackupEnabled, ValidateCurrentImage and MergeTable, which are 1. */
void InitWizardState(WizardState* state);

#endif
