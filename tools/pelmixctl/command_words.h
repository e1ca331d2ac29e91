// The command line's own words for the wizard's texts that speak of its
// pages and buttons ("Click OK ...", "Exiting..."), where the write
// sequence's messages reach pelmixctl.
#ifndef PELMIXCTL_COMMAND_WORDS_H
#define PELMIXCTL_COMMAND_WORDS_H

#include <stddef.h>

// The line pelmixctl prints for a text the wizard's logic shows: its own
// wording, with the driver's Status where the text carried one, or shown as
// it is. buffer holds size bytes.
const char* CommandWords(const char* shown, char* buffer, size_t size);

#endif
