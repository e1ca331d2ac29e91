// setup.cfg: an optional text file of key=value lines that replaces any shown
// text. Portable: no window system needed.
#ifndef DORVANE_CONFIG_FILE_H
#define DORVANE_CONFIG_FILE_H

#include <stddef.h>

enum { TextBufferSize = 256, PathBufferSize = 260, ConfigReadSize = 259 };

// Full path of the setup.cfg in use; empty when there is none. Settled at
// start-up, before the first lookup.
extern char ConfigPath[PathBufferSize];

// 1 and the value in buffer (cut to fit size) when the file at ConfigPath
// holds a non-empty value for key; 0 otherwise, buffer then unspecified.
int ReadConfigValue(const char* key, char* buffer, size_t size = TextBufferSize);

// The same for a file named by path.
int ReadConfigValueFrom(const char* path, const char* key, char* buffer, size_t size);

// One line as fgets gives it: 1 and a pointer to the value (line end still
// attached) when the line is a key=value line for key.
int ConfigLineValue(const char* line, const char* key, const char** value);

#endif
