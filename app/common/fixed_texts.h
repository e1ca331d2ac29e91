// The few texts the program shows as they are written here, never looked up
// in texts.txt: a caption, and messages for states a configured text need
// not cover.
#ifndef DORVANE_FIXED_TEXTS_H
#define DORVANE_FIXED_TEXTS_H

extern const char ProgrammerCaption[];   // of the fixed warnings
extern const char SystemNotSupported[];  // neither the NT nor the 9x family
extern const char NoDeviceSelected[];    // Next with no card chosen
extern const char WriteSkippedText[];    // the write in test mode
extern const char DebugCaption[];        // of WriteSkippedText

#endif
