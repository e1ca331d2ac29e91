#include "request_dispatch.h"

#include "card_scan.h"
#include "chip_requests.h"
#include "driver_state.h"
#include "pelmix_ioctl.h"
#include "platform.h"

namespace {

const uint32_t HeaderLength = sizeof(PELMIX_REQUEST_HEADER);
const uint32_t StatusLength = 4;
const uint32_t RomTransferLength = sizeof(PELMIX_ROM_TRANSFER);
const uint32_t PageBufferBase = PELMIX_PAGE_BUFFER_LENGTH(0);  // 27

uint32_t PageCountOf(const void* buffer)
{
    return static_cast<const PELMIX_PAGE_TRANSFER*>(buffer)->PageCount;
}

// Whether a buffer of length bytes holds 27 + 128 * pageCount bytes, without
// computing a product that could wrap.
bool PageBufferFits(uint32_t length, uint32_t pageCount)
{
    if (length < PageBufferBase)
        return false;
    return pageCount <= (length - PageBufferBase) / PELMIX_PAGE_SIZE;
}

// ---- length checks, each in the order the protocol lists them

bool CheckEnumerate(const void*, uint32_t, uint32_t out)
{
    return out >= sizeof(PELMIX_DEVICE_LIST);
}

bool CheckReadRom(const void*, uint32_t in, uint32_t out)
{
    return out >= RomTransferLength && in >= HeaderLength;
}

bool CheckWriteRom(const void*, uint32_t in, uint32_t out)
{
    return out >= StatusLength && in >= RomTransferLength;
}

bool CheckReadPages(const void* buffer, uint32_t in, uint32_t out)
{
    return in >= PageBufferBase && PageBufferFits(out, PageCountOf(buffer));
}

bool CheckWritePages(const void* buffer, uint32_t in, uint32_t out)
{
    return in >= PageBufferBase && out >= StatusLength && PageBufferFits(in, PageCountOf(buffer));
}

bool CheckErase(const void*, uint32_t in, uint32_t out)
{
    return out >= StatusLength && in >= HeaderLength;
}

bool CheckIdentify(const void*, uint32_t, uint32_t out)
{
    return out >= sizeof(PELMIX_CHIP_INFO);
}

// What a successful request's reply holds besides Status.
enum ReplyKind {
    ReplyStatus,      // nothing
    ReplyDeviceList,  // the whole device list
    ReplyRom,         // the bytes of the chip the request identified
    ReplyPages,       // the pages the record asks for
    ReplyChipInfo,    // the whole chip record
};

struct RequestRule {
    uint32_t Code;
    bool (*LengthsFit)(const void* buffer, uint32_t in, uint32_t out);
    ReplyKind Reply;
};

const RequestRule RequestRules[] = {
    {IOCTL_PELMIX_ENUM_DEVICES, CheckEnumerate, ReplyDeviceList},
    {IOCTL_PELMIX_READ_ROM, CheckReadRom, ReplyRom},
    {IOCTL_PELMIX_WRITE_ROM, CheckWriteRom, ReplyStatus},
    {IOCTL_PELMIX_READ_PAGES, CheckReadPages, ReplyPages},
    {IOCTL_PELMIX_WRITE_PAGES, CheckWritePages, ReplyStatus},
    {IOCTL_PELMIX_ERASE_CHIP, CheckErase, ReplyStatus},
    {IOCTL_PELMIX_WRITE_ROM_PREERASED, CheckWriteRom, ReplyStatus},
    {IOCTL_PELMIX_IDENTIFY_CHIP, CheckIdentify, ReplyChipInfo},
    {IOCTL_PELMIX_WRITE_PAGES_PREERASED, CheckWritePages, ReplyStatus},
};

// The operation of a code of RequestRules on its record; returns the result code.
uint32_t Operate(uint32_t code, void* buffer)
{
    PELMIX_ROM_TRANSFER* rom = static_cast<PELMIX_ROM_TRANSFER*>(buffer);
    PELMIX_PAGE_TRANSFER* pages = static_cast<PELMIX_PAGE_TRANSFER*>(buffer);
    switch (code) {
    case IOCTL_PELMIX_ENUM_DEVICES: return EnumerateCards(static_cast<PELMIX_DEVICE_LIST*>(buffer));
    case IOCTL_PELMIX_READ_ROM: return ReadRom(rom);
    case IOCTL_PELMIX_WRITE_ROM: return WriteRom(rom, 0);
    case IOCTL_PELMIX_WRITE_ROM_PREERASED: return WriteRom(rom, 1);
    case IOCTL_PELMIX_READ_PAGES: return ReadPages(pages);
    case IOCTL_PELMIX_WRITE_PAGES: return WritePages(pages, 0);
    case IOCTL_PELMIX_WRITE_PAGES_PREERASED: return WritePages(pages, 1);
    case IOCTL_PELMIX_ERASE_CHIP: return EraseRom(static_cast<PELMIX_REQUEST_HEADER*>(buffer));
    case IOCTL_PELMIX_IDENTIFY_CHIP: return QueryChip(static_cast<PELMIX_CHIP_INFO*>(buffer));
    }
    return PELMIX_RESULT_OK;  // not reached: DispatchOne operates only codes it found in the rules
}

// Bytes that go back after a successful operation; a ROM read's follow the
// chip it identified.
uint32_t ReplyLength(ReplyKind reply, const void* buffer)
{
    switch (reply) {
    case ReplyDeviceList: return sizeof(PELMIX_DEVICE_LIST);
    case ReplyRom: return HeaderLength + IdentifiedChipSize();
    case ReplyPages: return PageBufferBase + PELMIX_PAGE_SIZE * PageCountOf(buffer);
    case ReplyChipInfo: return sizeof(PELMIX_CHIP_INFO);
    case ReplyStatus: break;
    }
    return StatusLength;
}

// The system buffer past the input is whatever the pool held before: clear it,
// so that a field the caller did not send reads 0 and no byte the operation
// leaves unwritten carries kernel memory back to the caller.
void ClearPastInput(void* buffer, uint32_t inLength, uint32_t outLength)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    for (uint32_t i = inLength; i < outLength; ++i)
        bytes[i] = 0;
}

uint32_t DispatchOne(uint32_t code, void* buffer, uint32_t inLength, uint32_t outLength, uint32_t* information)
{
    *information = 0;
    for (const RequestRule& rule : RequestRules) {
        if (rule.Code != code)
            continue;
        if (!rule.LengthsFit(buffer, inLength, outLength))
            return PELMIX_STATUS_INVALID_BUFFER_SIZE;
        ClearPastInput(buffer, inLength, outLength);
        uint32_t result = Operate(code, buffer);
        *information = result == PELMIX_RESULT_OK ? ReplyLength(rule.Reply, buffer) : StatusLength;
        return PELMIX_STATUS_SUCCESS;
    }
    return PELMIX_STATUS_INVALID_DEVICE_REQUEST;
}

}  // namespace

uint32_t DispatchDeviceControl(uint32_t code, void* buffer, uint32_t inLength, uint32_t outLength,
                               uint32_t* information)
{
    // Requests share the driver state, and one handle can carry several
    // requests at once (overlapped I/O).
    PlatformAcquireRequestLock(&Driver.RequestLock);
    uint32_t status = DispatchOne(code, buffer, inLength, outLength, information);
    PlatformReleaseRequestLock(&Driver.RequestLock);
    return status;
}
