#include "reply_format.h"

#include <stdio.h>

#include "command_line.h"
#include "json_line.h"
#include "pelmix_ioctl.h"

namespace {

const uint32_t StatusInvalidDeviceRequest = 0xC0000010u;
const uint32_t StatusInvalidBufferSize = 0xC0000206u;

struct EntryField {
    const char* Name;
    uint32_t PELMIX_DEVICE_ENTRY::*Member;
    uint32_t Offset;
};

// In the record's order, which the JSON lines keep.
// clang-format off
const EntryField EntryFields[] = {
    {"Bus", &PELMIX_DEVICE_ENTRY::Bus, offsetof(PELMIX_DEVICE_ENTRY, Bus)},
    {"Device", &PELMIX_DEVICE_ENTRY::Device, offsetof(PELMIX_DEVICE_ENTRY, Device)},
    {"Function", &PELMIX_DEVICE_ENTRY::Function, offsetof(PELMIX_DEVICE_ENTRY, Function)},
    {"VendorId", &PELMIX_DEVICE_ENTRY::VendorId, offsetof(PELMIX_DEVICE_ENTRY, VendorId)},
    {"DeviceId", &PELMIX_DEVICE_ENTRY::DeviceId, offsetof(PELMIX_DEVICE_ENTRY, DeviceId)},
    {"SubsystemVendorId", &PELMIX_DEVICE_ENTRY::SubsystemVendorId, offsetof(PELMIX_DEVICE_ENTRY, SubsystemVendorId)},
    {"SubsystemId", &PELMIX_DEVICE_ENTRY::SubsystemId, offsetof(PELMIX_DEVICE_ENTRY, SubsystemId)},
    {"RevisionId", &PELMIX_DEVICE_ENTRY::RevisionId, offsetof(PELMIX_DEVICE_ENTRY, RevisionId)},
    {"Bar0", &PELMIX_DEVICE_ENTRY::Bar0, offsetof(PELMIX_DEVICE_ENTRY, Bar0)},
    {"Bar1", &PELMIX_DEVICE_ENTRY::Bar1, offsetof(PELMIX_DEVICE_ENTRY, Bar1)},
    {"RomBar", &PELMIX_DEVICE_ENTRY::RomBar, offsetof(PELMIX_DEVICE_ENTRY, RomBar)},
    {"IsAgp", &PELMIX_DEVICE_ENTRY::IsAgp, offsetof(PELMIX_DEVICE_ENTRY, IsAgp)},
    {"MemoryEnabled", &PELMIX_DEVICE_ENTRY::MemoryEnabled, offsetof(PELMIX_DEVICE_ENTRY, MemoryEnabled)},
    {"Family", &PELMIX_DEVICE_ENTRY::Family, offsetof(PELMIX_DEVICE_ENTRY, Family)},
};
// clang-format on
static_assert(sizeof EntryFields / sizeof EntryFields[0] * 4 == sizeof(PELMIX_DEVICE_ENTRY), "every entry field");

const uint32_t StatusOffset = offsetof(PELMIX_REQUEST_HEADER, Status);
const uint32_t CountOffset = offsetof(PELMIX_DEVICE_LIST, Count);
const uint32_t EntriesOffset = offsetof(PELMIX_DEVICE_LIST, Entries);
const uint32_t ChipIdOffset = offsetof(PELMIX_CHIP_INFO, ChipId);
const uint32_t SizeKbOffset = offsetof(PELMIX_CHIP_INFO, SizeKb);
const uint32_t SectorSizeOffset = offsetof(PELMIX_CHIP_INFO, SectorSize);
const uint32_t EraseRequiredOffset = offsetof(PELMIX_CHIP_INFO, EraseRequired);
const uint32_t ChipNameOffset = offsetof(PELMIX_CHIP_INFO, ChipName);
const uint32_t ChipNameSize = sizeof(PELMIX_CHIP_INFO::ChipName);

uint32_t Field(const RequestOutcome& outcome, uint32_t offset)
{
    const uint8_t* p = outcome.Reply + offset;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Entry i of a device list reply, whose whole entry travelled back.
PELMIX_DEVICE_ENTRY EntryAt(const RequestOutcome& outcome, uint32_t i)
{
    PELMIX_DEVICE_ENTRY entry;
    uint32_t base = EntriesOffset + i * sizeof(PELMIX_DEVICE_ENTRY);
    for (const EntryField& field : EntryFields)
        entry.*field.Member = Field(outcome, base + field.Offset);
    return entry;
}

// Whether the 4 bytes at offset travelled back.
bool Has(const RequestOutcome& outcome, uint32_t offset, uint32_t length = 4)
{
    return outcome.ReplyLength >= offset + length;
}

std::string ChipName(const RequestOutcome& outcome)
{
    std::string name;
    for (uint32_t i = ChipNameOffset; i < ChipNameOffset + ChipNameSize && outcome.Reply[i]; ++i)
        name += static_cast<char>(outcome.Reply[i]);
    return name;
}

std::string Hex(const uint8_t* bytes, uint32_t count)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

struct SystemStatusName {
    uint32_t Status;
    const char* Name;
    const char* Meaning;
};

// The NTSTATUS values the driver completes a request with.
const SystemStatusName SystemStatusNames[] = {
    {0, "STATUS_SUCCESS", "the driver took the request"},
    {StatusInvalidDeviceRequest, "STATUS_INVALID_DEVICE_REQUEST", "the driver has no request of that code"},
    {StatusInvalidBufferSize, "STATUS_INVALID_BUFFER_SIZE",
     "the input or output buffer is shorter than the request's record"},
};

const SystemStatusName* FindSystemStatus(uint32_t status)
{
    for (const SystemStatusName& entry : SystemStatusNames) {
        if (entry.Status == status)
            return &entry;
    }
    return nullptr;
}

std::string StatusText(uint32_t status)
{
    char text[64];
    const SystemStatusName* entry = FindSystemStatus(status);
    snprintf(text, sizeof text, "0x%08X%s%s", status, entry ? " " : "", entry ? entry->Name : "");
    return text;
}

}  // namespace

std::string SystemStatusText(uint32_t status)
{
    const SystemStatusName* entry = FindSystemStatus(status);
    return StatusText(status) + ": " + (entry ? entry->Meaning : "not a status this driver completes a request with");
}

const char* RequestName(int kind)
{
    switch (kind) {
    case CommandEnum: return "ENUM_DEVICES";
    case CommandIdentify: return "IDENTIFY_CHIP";
    case CommandReadRom: return "READ_ROM";
    case CommandWriteRom: return "WRITE_ROM";
    case CommandWriteRomPreerased: return "WRITE_ROM_PREERASED";
    case CommandReadPages: return "READ_PAGES";
    case CommandWritePages: return "WRITE_PAGES";
    case CommandWritePagesPreerased: return "WRITE_PAGES_PREERASED";
    case CommandErase: return "ERASE_CHIP";
    default: return "RAW";
    }
}

const char* DriverResultText(int kind, uint32_t status)
{
    switch (status) {
    case PELMIX_RESULT_OK: return "success";
    case PELMIX_RESULT_TOO_MANY_CARDS: return "more than eight cards: the scan stopped and no list came back";
    case PELMIX_RESULT_NO_CARD:
        // Every run is a new driver lifetime: enum must come first in it.
        return kind == CommandEnum ? "no Orvel card found"
                                   : "no card list in this run (enum must come first) or no card in it";
    case PELMIX_RESULT_NOT_LISTED: return "the target is not in the card list";
    case PELMIX_RESULT_MAP_REGISTERS: return "the card's register window could not be mapped";
    case PELMIX_RESULT_MAP_ROM: return "the ROM window could not be mapped";
    case PELMIX_RESULT_PROGRAM_TIMEOUT: return "a byte or page did not complete: the chip may be incomplete";
    case PELMIX_RESULT_CPU_QUERY: return "the processor query failed";
    case PELMIX_RESULT_THREAD_CREATE: return "a processor-holding thread could not be created";
    case PELMIX_RESULT_HOLD_TIMEOUT: return "the other processors were not all held in time";
    case PELMIX_RESULT_BAD_START_OFFSET: return "the start offset is not a multiple of 128";
    case PELMIX_RESULT_BEYOND_CHIP: return "the pages reach past the end of the chip";
    case PELMIX_RESULT_ERASE_REQUIRED: return "this chip must be erased first";
    case PELMIX_RESULT_UNKNOWN_CHIP: return "the chip is not one the driver knows";
    default: return "a code the driver does not use";
    }
}

std::string FormatJson(const RequestOutcome& outcome)
{
    JsonObject json;
    json.String("request", RequestName(outcome.Kind));
    json.Number("code", outcome.Code);
    json.Number("system_status", outcome.SystemStatus);
    json.Number("information", outcome.Information);
    if (outcome.SystemStatus == 0 && Has(outcome, StatusOffset)) {
        json.Number("Status", Field(outcome, StatusOffset));
        switch (outcome.Kind) {
        case CommandEnum: {
            if (Has(outcome, CountOffset))
                json.Number("Count", Field(outcome, CountOffset));
            if (Has(outcome, EntriesOffset, sizeof(PELMIX_DEVICE_ENTRY))) {
                uint32_t count = Field(outcome, CountOffset);
                std::string entries = "[";
                for (uint32_t i = 0; i < count && i < PELMIX_MAX_DEVICES; ++i) {
                    uint32_t base = EntriesOffset + i * sizeof(PELMIX_DEVICE_ENTRY);
                    if (!Has(outcome, base, sizeof(PELMIX_DEVICE_ENTRY)))
                        break;
                    PELMIX_DEVICE_ENTRY fields = EntryAt(outcome, i);
                    JsonObject entry;
                    for (const EntryField& field : EntryFields)
                        entry.Number(field.Name, fields.*field.Member);
                    if (i > 0)
                        entries += ',';
                    entries += entry.Text + "}";
                }
                json.Raw("Entries", entries + "]");
            }
            break;
        }
        case CommandIdentify:
            if (Has(outcome, ChipIdOffset))
                json.Number("ChipId", Field(outcome, ChipIdOffset));
            if (Has(outcome, SizeKbOffset))
                json.Number("SizeKb", Field(outcome, SizeKbOffset));
            if (Has(outcome, SectorSizeOffset))
                json.Number("SectorSize", Field(outcome, SectorSizeOffset));
            if (Has(outcome, EraseRequiredOffset))
                json.Number("EraseRequired", Field(outcome, EraseRequiredOffset));
            if (Has(outcome, ChipNameOffset, ChipNameSize))
                json.String("ChipName", ChipName(outcome));
            break;
        case CommandRaw: json.String("reply", Hex(outcome.Reply, outcome.ReplyLength)); break;
        default: break;
        }
        if (outcome.File) {
            json.String("file", outcome.File);
            json.Number("bytes", outcome.FileBytes);
        }
    }
    if (outcome.Timing.Known) {
        json.Number("elapsed_us", outcome.Timing.ElapsedUs);
        json.Number("held_us", outcome.Timing.HeldUs);
    }
    return json.Text + "}";
}

std::string FormatText(const RequestOutcome& outcome)
{
    char line[512];
    snprintf(line, sizeof line, "%s (0x%06X): %s, %u bytes back", RequestName(outcome.Kind), outcome.Code,
             StatusText(outcome.SystemStatus).c_str(), outcome.Information);
    std::string text = line;
    if (outcome.SystemStatus == 0 && Has(outcome, StatusOffset)) {
        snprintf(line, sizeof line, ", Status %u", Field(outcome, StatusOffset));
        text += line;
    }
    if (outcome.Timing.Known) {
        snprintf(line, sizeof line, " [%.3f ms, processors held %.3f ms]", outcome.Timing.ElapsedUs / 1000.0,
                 outcome.Timing.HeldUs / 1000.0);
        text += line;
    }
    if (outcome.SystemStatus != 0)
        return text;
    if (outcome.Kind == CommandEnum && Has(outcome, EntriesOffset)) {
        uint32_t count = Field(outcome, CountOffset);
        for (uint32_t i = 0; i < count && i < PELMIX_MAX_DEVICES; ++i) {
            uint32_t base = EntriesOffset + i * sizeof(PELMIX_DEVICE_ENTRY);
            if (!Has(outcome, base, sizeof(PELMIX_DEVICE_ENTRY)))
                break;
            PELMIX_DEVICE_ENTRY e = EntryAt(outcome, i);
            snprintf(line, sizeof line,
                     "\n  %u:%02X.%X  %04X:%04X  subsystem %04X:%04X  rev %02X  family %u  Bar0 0x%08X  "
                     "Bar1 0x%08X  RomBar 0x%08X  %s  memory %s",
                     e.Bus, e.Device, e.Function, e.VendorId, e.DeviceId, e.SubsystemVendorId, e.SubsystemId,
                     e.RevisionId, e.Family, e.Bar0, e.Bar1, e.RomBar, e.IsAgp ? "AGP" : "PCI",
                     e.MemoryEnabled ? "on" : "off");
            text += line;
        }
    } else if (outcome.Kind == CommandIdentify && Has(outcome, 0, sizeof(PELMIX_CHIP_INFO))) {
        snprintf(line, sizeof line, "\n  chip 0x%04X %s, %u KB, sector %u, erase required %u",
                 Field(outcome, ChipIdOffset), ChipName(outcome).c_str(), Field(outcome, SizeKbOffset),
                 Field(outcome, SectorSizeOffset), Field(outcome, EraseRequiredOffset));
        text += line;
    } else if (outcome.Kind == CommandRaw && outcome.ReplyLength > 0) {
        text += "\n  reply " + Hex(outcome.Reply, outcome.ReplyLength);
    }
    if (outcome.File) {
        snprintf(line, sizeof line, "\n  %u bytes written to %s", outcome.FileBytes, outcome.File);
        text += line;
    }
    return text;
}
