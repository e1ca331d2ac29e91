/* What a path names, as the backup and the image choices must know it
   before a file is written or replaced: one test of existence for the
   program and pelmixctl, the kind of entry, and whether two names are one
   file. */
#ifndef DORVANE_PATH_FACTS_H
#define DORVANE_PATH_FACTS_H

enum PathKind {
    PathAbsent,      /* nothing of that name */
    PathRegularFile, /* a file on a disk */
    PathOther,       /* a folder, a device, a pipe: never written or removed */
    PathUnknown,     /* something is there, or may be, that cannot be looked at */
};

/* stat (GetFileAttributesA and the handle's file type on Windows). A file
   that cannot be read is still a regular file; a name whose test fails for
   any reason but its absence is PathUnknown. */
PathKind KindOfPath(const char* path);

/* 1 unless path surely names nothing (an unreadable file exists). */
int FileExists(const char* path);

/* 1 when both names lead to one file: the same text, or the same device
   and file number (volume serial number and file index on Windows). */
int SameFile(const char* first, const char* second);

#endif
