#include <gtest/gtest.h>

#include <string.h>

#include "wizard_state.h"

/* The program-wide record starts from constant data; it must agree with
   InitWizardState, which names the initial values. */
TEST(WizardState, InstanceStartsWithInitialValues)
{
    static WizardState expected;
    InitWizardState(&expected);
    EXPECT_EQ(0, memcmp(&expected, &TheWizard, sizeof(WizardState)));
    EXPECT_EQ(1, TheWizard.BackupEnabled);
    EXPECT_EQ(1, TheWizard.ValidateCurrentImage);
    EXPECT_EQ(1, TheWizard.MergeTable);
    EXPECT_EQ(0, TheWizard.InBuiltImageAvailable);
}
