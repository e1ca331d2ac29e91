#include "fixed_texts.h"

const char ProgrammerCaption[] = "BIOS Programmer";
const char SystemNotSupported[] = "Your computer's Operating System is not supported\nExiting...";
const char NoDeviceSelected[] = "No valid device selected - please select an item";
const char WriteSkippedText[] = "Test mode: BIOS write has been skipped";
const char DebugCaption[] = "Debug Message";
