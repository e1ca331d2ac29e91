#include "table_report.h"

#include <stddef.h>
#include <string.h>

struct FieldInfo {
    const char* Name;
    uint32_t Offset;
    uint32_t Size;
};

/* Every numeric field of the table, in table order. */
static const FieldInfo TableFields[] = {
    {"TableSize", 0, 2},        {"Bit14Code", 2, 1},         {"Bit11Code", 3, 1},
    {"Bit9Flag", 4, 1},         {"BoardByte5", 5, 1},        {"BoardByte6", 6, 1},
    {"Bit15Flag", 7, 1},        {"Reg18CCode", 8, 1},        {"BoardByte9", 9, 1},
    {"BoardWord10", 10, 2},     {"VersionMajor", 12, 1},     {"VersionMinor", 13, 1},
    {"ClockMHz", 14, 2},        {"BoardWord16", 16, 2},      {"BoardWord18", 18, 2},
    {"RegisterCount", 20, 4},   {"ListWord", 24, 4},         {"Flags", 74, 2},
    {"VendorOffset", 204, 2},   {"VendorLength", 206, 2},    {"ProductOffset", 208, 2},
    {"ProductLength", 210, 2},  {"VersionOffset", 212, 2},   {"VersionLength", 214, 2},
    {"ExtraOffset", 216, 2},    {"ExtraLength", 218, 2},     {"CarriedDescriptorWord", 220, 2},
    {"StringAreaSize", 222, 2}, {"VendorFieldSize", 352, 4},
};

static uint32_t FieldValue(const BiosTable* table, const FieldInfo* field)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(table);
    if (field->Size == 1)
        return bytes[field->Offset];
    if (field->Size == 2)
        return ImageWord(bytes, field->Offset);
    return ImageDword(bytes, field->Offset);
}

static uint32_t UsedSlots(const BiosTable* table)
{
    return table->RegisterCount < BiosRegisterSlotCount ? table->RegisterCount : BiosRegisterSlotCount;
}

static void PrintJsonString(FILE* out, const char* text)
{
    fputc('"', out);
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (*p == '"' || *p == '\\')
            fprintf(out, "\\%c", *p);
        else if (*p == '\r')
            fputs("\\r", out);
        else if (*p == '\n')
            fputs("\\n", out);
        else if (*p < 0x20 || *p >= 0x7F)
            fprintf(out, "\\u%04x", *p);
        else
            fputc(*p, out);
    }
    fputc('"', out);
}

/* Texts shown with C escapes so CR LF and stray bytes stay visible. */
static void PrintQuoted(FILE* out, const char* text)
{
    fputc('"', out);
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (*p == '\r')
            fputs("\\r", out);
        else if (*p == '\n')
            fputs("\\n", out);
        else if (*p == '"' || *p == '\\')
            fprintf(out, "\\%c", *p);
        else if (*p < 0x20 || *p >= 0x7F)
            fprintf(out, "\\x%02x", *p);
        else
            fputc(*p, out);
    }
    fputc('"', out);
}

static const char* LayoutName(const ImageReport* r)
{
    return r->Locator.LegacyFlags == 0 ? "stored" : "legacy";
}

/* Whether the image is for an Orvel card, by its PCI data structure. */
static const char* const VerdictNames[] = {"yes", "unknown (no PCI data structure)", "no (a vendor no Orvel card has)",
                                           "no (a class other than display)"};
static const char* const VerdictJsonNames[] = {"yes", "unknown", "other vendor", "not display"};

static void PrintPciDataLine(FILE* out, const ImageReport* r)
{
    const PciData* p = &r->Pci;
    if (r->PciVerdict == PciDataMissing) {
        fprintf(out, "pci data: none\n");
    } else {
        fprintf(out,
                "pci data: at 0x%X, vendor %04X, device %04X, class %06X, code type %u, image length %u, code "
                "revision 0x%04X, indicator 0x%02X\n",
                (unsigned)p->Offset, (unsigned)p->VendorId, (unsigned)p->DeviceId, (unsigned)p->ClassCode,
                (unsigned)p->CodeType, (unsigned)p->ImageLength, (unsigned)p->CodeRevision, (unsigned)p->Indicator);
    }
    fprintf(out, "for an Orvel card: %s\n", VerdictNames[r->PciVerdict]);
}

static void PrintPciDataJson(FILE* out, const ImageReport* r)
{
    const PciData* p = &r->Pci;
    if (r->PciVerdict == PciDataMissing)
        fprintf(out, "  \"pciData\": null,\n");
    else
        fprintf(out,
                "  \"pciData\": {\"offset\": %u, \"vendorId\": %u, \"deviceId\": %u, \"classCode\": %u, "
                "\"codeType\": %u, \"imageLength\": %u, \"codeRevision\": %u, \"indicator\": %u},\n",
                (unsigned)p->Offset, (unsigned)p->VendorId, (unsigned)p->DeviceId, (unsigned)p->ClassCode,
                (unsigned)p->CodeType, (unsigned)p->ImageLength, (unsigned)p->CodeRevision, (unsigned)p->Indicator);
    fprintf(out, "  \"forOrvelCard\": \"%s\",\n", VerdictJsonNames[r->PciVerdict]);
}

// The facts of the image itself, board table or not.
static void PrintImageLines(FILE* out, const ImageReport* r)
{
    fprintf(out, "file: %s\n", r->Path);
    fprintf(out, "file size: %u\n", (unsigned)r->FileSize);
    fprintf(out, "length: %u\n", (unsigned)r->Length);
    fprintf(out, "checksum: %s\n", r->ChecksumValid ? "valid" : "invalid");
    fprintf(out, "declared length: %u\n", (unsigned)r->DeclaredLength);
    fprintf(out, "declared checksum: %s\n", r->DeclaredCheck);
    PrintPciDataLine(out, r);
}

void PrintReportText(FILE* out, const ImageReport* r)
{
    char text[BiosStringAreaSize + 1];
    const BiosTable* t = &r->Table;
    PrintImageLines(out, r);
    fprintf(out, "layout: %s", LayoutName(r));
    if (r->Locator.LegacyFlags == 0)
        fprintf(out, " (table at 0x%X)\n", (unsigned)r->Locator.TableOffset);
    else
        fprintf(out, " (text area 0x%X, descriptors 0x%X, register list 0x%X)\n", (unsigned)r->Locator.StringAreaOffset,
                (unsigned)r->Locator.DescriptorOffset, (unsigned)r->Locator.RegisterListOffset);
    fprintf(out, "blank: %s\n", t->Flags == 0 ? "yes" : "no");
    for (const FieldInfo& field : TableFields) {
        uint32_t v = FieldValue(t, &field);
        if (field.Size == 1)
            fprintf(out, "%s: %u\n", field.Name, (unsigned)v);
        else
            fprintf(out, "%s: %u (0x%0*X)\n", field.Name, (unsigned)v, (int)(field.Size * 2), (unsigned)v);
    }
    TableVersionText(t, text, sizeof(text));
    fprintf(out, "version text: ");
    PrintQuoted(out, text);
    fputc('\n', out);
    TableVendorName(t, text, sizeof(text));
    fprintf(out, "VendorName: ");
    PrintQuoted(out, text);
    fputc('\n', out);
    fprintf(out, "registers:\n");
    for (uint32_t n = 1; n <= UsedSlots(t); n++) {
        RegisterSlot slot = TableRegisterSlot(t, n);
        fprintf(out, "  %2u: 0x%08X = 0x%08X\n", (unsigned)n, (unsigned)slot.Register, (unsigned)slot.Value);
    }
}

void PrintReportJson(FILE* out, const ImageReport* r)
{
    char text[BiosStringAreaSize + 1];
    const BiosTable* t = &r->Table;
    const TableLocator* l = &r->Locator;
    fprintf(out, "{\n  \"file\": ");
    PrintJsonString(out, r->Path);
    fprintf(out, ",\n  \"fileSize\": %u,\n  \"length\": %u,\n  \"checksumValid\": %s,\n", (unsigned)r->FileSize,
            (unsigned)r->Length, r->ChecksumValid ? "true" : "false");
    fprintf(out, "  \"declaredLength\": %u,\n  \"declaredChecksum\": \"%s\",\n", (unsigned)r->DeclaredLength,
            r->DeclaredCheck);
    PrintPciDataJson(out, r);
    fprintf(out, "  \"layout\": \"%s\",\n  \"blank\": %s,\n", LayoutName(r), t->Flags == 0 ? "true" : "false");
    fprintf(out,
            "  \"locator\": {\"StringAreaOffset\": %u, \"LegacyFlags\": %u, \"TableOffset\": %u, "
            "\"LegacySlot6Value\": %u, \"LegacySlot6Register\": %u, \"LegacyClockHz\": %u, "
            "\"DescriptorOffset\": %u, \"RegisterListOffset\": %u},\n",
            (unsigned)l->StringAreaOffset, (unsigned)l->LegacyFlags, (unsigned)l->TableOffset,
            (unsigned)l->LegacySlot6Value, (unsigned)l->LegacySlot6Register, (unsigned)l->LegacyClockHz,
            (unsigned)l->DescriptorOffset, (unsigned)l->RegisterListOffset);
    fprintf(out, "  \"table\": {\n");
    for (const FieldInfo& field : TableFields)
        fprintf(out, "    \"%s\": %u,\n", field.Name, (unsigned)FieldValue(t, &field));
    TableVendorName(t, text, sizeof(text));
    fprintf(out, "    \"VendorName\": ");
    PrintJsonString(out, text);
    fprintf(out, "\n  },\n  \"versionText\": ");
    TableVersionText(t, text, sizeof(text));
    PrintJsonString(out, text);
    fprintf(out, ",\n  \"registers\": [");
    for (uint32_t n = 1; n <= UsedSlots(t); n++) {
        RegisterSlot slot = TableRegisterSlot(t, n);
        fprintf(out, "%s\n    {\"slot\": %u, \"register\": %u, \"value\": %u}", n == 1 ? "" : ",", (unsigned)n,
                (unsigned)slot.Register, (unsigned)slot.Value);
    }
    fprintf(out, "\n  ]\n}\n");
}

void PrintImageFacts(FILE* out, const ImageReport* r, int json)
{
    if (json) {
        fprintf(out, "{\n  \"file\": ");
        PrintJsonString(out, r->Path);
        fprintf(out,
                ",\n  \"fileSize\": %u,\n  \"length\": %u,\n  \"checksumValid\": %s,\n"
                "  \"declaredLength\": %u,\n  \"declaredChecksum\": \"%s\",\n",
                (unsigned)r->FileSize, (unsigned)r->Length, r->ChecksumValid ? "true" : "false",
                (unsigned)r->DeclaredLength, r->DeclaredCheck);
        PrintPciDataJson(out, r);
        fprintf(out, "  \"tableReadable\": false\n}\n");
        return;
    }
    PrintImageLines(out, r);
}
