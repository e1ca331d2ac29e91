// Which kernel and HAL routines each NT version exports, for the routines a
// driver of this project may import, each with the source it was checked
// against (export_tables.cpp).
#ifndef NTMODEL_EXPORT_TABLES_H
#define NTMODEL_EXPORT_TABLES_H

// 1 when the DLL ("ntoskrnl.exe" or "hal.dll", any case) of that version
// exports the routine; 0 when it does not or the table does not know it.
int VersionExports(int version, const char* dll, const char* name);

#endif
