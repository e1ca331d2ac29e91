// Which kernel and HAL routines each NT version exports, for the routines a
// driver of this project may import, each with the source it was checked
// against (export_tables.cpp).
#ifndef NTMODEL_EXPORT_TABLES_H
#define NTMODEL_EXPORT_TABLES_H

enum ExportKnowledge { ExportUnknown = -1, ExportAbsent = 0, ExportPresent = 1 };

// Whether the DLL ("ntoskrnl.exe" or "hal.dll", any case) of that version
// exports the routine (ExportKnowledge); ExportUnknown for a routine the
// table does not list for that DLL.
int VersionExports(int version, const char* dll, const char* name);
// "4.0", "5.0" or "5.1".
const char* VersionName(int version);

#endif
