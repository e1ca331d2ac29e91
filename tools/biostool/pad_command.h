/* biostool pad IN OUT: an option ROM cut at its declared length, filled with
   zero bytes to whole 32768-byte blocks so the wizard reads all of it; the
   byte sum, and so the checksum, stays as it was. */
#ifndef BIOSTOOL_PAD_COMMAND_H
#define BIOSTOOL_PAD_COMMAND_H

/* Exit code: 0 written; 1 refused (nothing written). */
int PadImage(const char* inPath, const char* outPath);

#endif
