/* Prints what biostool info shows about an image: length and checksum,
   layout, every board-table field by name, the texts and the register list,
   as plain text or as JSON. */
#ifndef BIOSTOOL_TABLE_REPORT_H
#define BIOSTOOL_TABLE_REPORT_H

#include <stdio.h>

#include "bios_table.h"
#include "pci_data.h"

struct ImageReport {
    const char* Path;
    const uint8_t* Image; /* BiosImageBufferSize bytes */
    uint32_t FileSize;
    uint32_t Length;
    int ChecksumValid;
    uint32_t DeclaredLength;   /* size byte x 512 */
    const char* DeclaredCheck; /* the checksum over it: DeclaredCheckName */
    TableLocator Locator;
    PciDataVerdict PciVerdict; /* of the PCI data structure, read into Pci */
    PciData Pci;
    BiosTable Table; /* read successfully */
};

void PrintReportText(FILE* out, const ImageReport* report);
/* Only the file, its lengths and checksums, for an image whose table can't
   be read. */
void PrintImageFacts(FILE* out, const ImageReport* report, int json);
void PrintReportJson(FILE* out, const ImageReport* report);

#endif
