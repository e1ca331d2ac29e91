// The list of every setup.cfg key the program reads, for checking a
// configuration file: a line whose key the program never asks for changes
// nothing, which a person editing the file wants to know. Portable.
#ifndef DORVANE_CONFIG_KEYS_H
#define DORVANE_CONFIG_KEYS_H

extern const char* const ConfigKeys[];
extern const int ConfigKeyCount;

// The known key that a line (as fgets gives it) sets, read as the program
// reads it; 0 for a comment, a line without '=', or a line no key matches.
const char* ConfigLineKey(const char* line);

// Reads a file as the program does (ConfigReadSize pieces) and calls report
// for every key=value line that sets no known key. The number of such lines;
// -1 when the file cannot be opened.
int FindUnknownConfigLines(const char* path, void (*report)(int lineNumber, const char* line));

#endif
