#include "reply_format.h"

#include <stdio.h>

#include "command_line.h"
#include "json_line.h"
#include "pelmix_ioctl.h"

namespace {

const uint32_t StatusInvalidDeviceRequest = 0xC0000010u;
const uint32_t StatusInvalidBufferSize = 0xC0000206u;

const char* const EntryFieldNames[14] = {
    "Bus",        "Device", "Function", "VendorId", "DeviceId", "SubsystemVendorId", "SubsystemId",
    "RevisionId", "Bar0",   "Bar1",     "RomBar",   "IsAgp",    "MemoryEnabled",     "Family",
};

uint32_t Field(const RequestOutcome& outcome, uint32_t offset)
{
    const uint8_t* p = outcome.Reply + offset;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Whether the 4 bytes at offset travelled back.
bool Has(const RequestOutcome& outcome, uint32_t offset, uint32_t length = 4)
{
    return outcome.ReplyLength >= offset + length;
}

std::string ChipName(const RequestOutcome& outcome)
{
    std::string name;
    for (uint32_t i = 32; i < 64 && outcome.Reply[i]; ++i)
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

std::string StatusText(uint32_t status)
{
    char text[64];
    const char* name = status == 0             ? "STATUS_SUCCESS"
        : status == StatusInvalidDeviceRequest ? "STATUS_INVALID_DEVICE_REQUEST"
        : status == StatusInvalidBufferSize    ? "STATUS_INVALID_BUFFER_SIZE"
                                               : "";
    snprintf(text, sizeof text, "0x%08X%s%s", status, *name ? " " : "", name);
    return text;
}

}  // namespace

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
    if (outcome.SystemStatus == 0 && Has(outcome, 0)) {
        json.Number("Status", Field(outcome, 0));
        switch (outcome.Kind) {
        case CommandEnum: {
            if (Has(outcome, 4))
                json.Number("Count", Field(outcome, 4));
            if (Has(outcome, 8, sizeof(PELMIX_DEVICE_ENTRY))) {
                uint32_t count = Field(outcome, 4);
                std::string entries = "[";
                for (uint32_t i = 0; i < count && i < PELMIX_MAX_DEVICES; ++i) {
                    uint32_t base = 8 + i * sizeof(PELMIX_DEVICE_ENTRY);
                    if (!Has(outcome, base, sizeof(PELMIX_DEVICE_ENTRY)))
                        break;
                    JsonObject entry;
                    for (uint32_t f = 0; f < 14; ++f)
                        entry.Number(EntryFieldNames[f], Field(outcome, base + 4 * f));
                    if (i > 0)
                        entries += ',';
                    entries += entry.Text + "}";
                }
                json.Raw("Entries", entries + "]");
            }
            break;
        }
        case CommandIdentify:
            if (Has(outcome, 16))
                json.Number("ChipId", Field(outcome, 16));
            if (Has(outcome, 20))
                json.Number("SizeKb", Field(outcome, 20));
            if (Has(outcome, 24))
                json.Number("SectorSize", Field(outcome, 24));
            if (Has(outcome, 28))
                json.Number("EraseRequired", Field(outcome, 28));
            if (Has(outcome, 32, 32))
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
    if (outcome.SystemStatus == 0 && Has(outcome, 0)) {
        snprintf(line, sizeof line, ", Status %u", Field(outcome, 0));
        text += line;
    }
    if (outcome.Timing.Known) {
        snprintf(line, sizeof line, " [%.3f ms, processors held %.3f ms]", outcome.Timing.ElapsedUs / 1000.0,
                 outcome.Timing.HeldUs / 1000.0);
        text += line;
    }
    if (outcome.SystemStatus != 0)
        return text;
    if (outcome.Kind == CommandEnum && Has(outcome, 8)) {
        uint32_t count = Field(outcome, 4);
        for (uint32_t i = 0; i < count && i < PELMIX_MAX_DEVICES; ++i) {
            uint32_t base = 8 + i * sizeof(PELMIX_DEVICE_ENTRY);
            if (!Has(outcome, base, sizeof(PELMIX_DEVICE_ENTRY)))
                break;
            uint32_t f[14];
            for (uint32_t k = 0; k < 14; ++k)
                f[k] = Field(outcome, base + 4 * k);
            snprintf(line, sizeof line,
                     "\n  %u:%02X.%X  %04X:%04X  subsystem %04X:%04X  rev %02X  family %u  Bar0 0x%08X  "
                     "Bar1 0x%08X  RomBar 0x%08X  %s  memory %s",
                     f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[13], f[8], f[9], f[10], f[11] ? "AGP" : "PCI",
                     f[12] ? "on" : "off");
            text += line;
        }
    } else if (outcome.Kind == CommandIdentify && Has(outcome, 0, 64)) {
        snprintf(line, sizeof line, "\n  chip 0x%04X %s, %u KB, sector %u, erase required %u", Field(outcome, 16),
                 ChipName(outcome).c_str(), Field(outcome, 20), Field(outcome, 24), Field(outcome, 28));
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
