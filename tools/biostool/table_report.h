/* Prints what biostool info shows about an image: length and checksum,
   layout, every board-table field by name, the texts and the register list,
   as plain text or as JSON. */
#ifndef BIOSTOOL_TABLE_REPORT_H
#define BIOSTOOL_TABLE_REPORT_H

#include <stdio.h>

#include "bios_table.h"

struct ImageReport {
    const char* Path;
    const uint8_t* Image; /* BiosImageBufferSize bytes */
    uint32_t FileSize;
    uint32_t Length;
    int ChecksumValid;
    TableLocator Locator;
    BiosTable Table; /* read successfully */
};

void PrintReportText(FILE* out, const ImageReport* report);
void PrintReportJson(FILE* out, const ImageReport* report);

#endif
