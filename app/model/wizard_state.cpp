#include "wizard_state.h"

#include <string.h>

/* Constant-initialised: no start-up code runs for it. Same values as
   InitWizardState. */
WizardState TheWizard = {
    {}, /* DeviceList */
    0,  /* SelectedDevice */
    {}, /* BackupFolder */
    {}, /* BackupPath */
    1,  /* BackupEnabled */
    1,  /* ValidateCurrentImage */
    0,  /* ReadChecksumFailed */
    0,  /* DontMerge */
    0,  /* IgnoreChecksum */
    0,  /* MergeAfterReadError */
    0,  /* IgnoreChecksumAfterReadError */
    1,  /* MergeTable */
    0,  /* InBuiltImageAvailable */
    {}, /* NewImage */
    0,  /* NewImageSize */
};

void InitWizardState(WizardState* state)
{
    memset(state, 0, sizeof(*state));
    state->BackupEnabled = 1;
    state->ValidateCurrentImage = 1;
    state->MergeTable = 1;
}
