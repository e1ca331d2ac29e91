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

// ---- operations: return the result code and the byte count for result 0

uint32_t DoEnumerate(void* buffer, uint32_t* successLength)
{
    *successLength = sizeof(PELMIX_DEVICE_LIST);
    return EnumerateCards(static_cast<PELMIX_DEVICE_LIST*>(buffer));
}

uint32_t DoReadRom(void* buffer, uint32_t* successLength)
{
    uint32_t result = ReadRom(static_cast<PELMIX_ROM_TRANSFER*>(buffer));
    *successLength = HeaderLength + IdentifiedChipSize();
    return result;
}

uint32_t DoWriteRom(void* buffer, uint32_t* successLength)
{
    *successLength = StatusLength;
    return WriteRom(static_cast<PELMIX_ROM_TRANSFER*>(buffer), 0);
}

uint32_t DoWriteRomPreErased(void* buffer, uint32_t* successLength)
{
    *successLength = StatusLength;
    return WriteRom(static_cast<PELMIX_ROM_TRANSFER*>(buffer), 1);
}

uint32_t DoReadPages(void* buffer, uint32_t* successLength)
{
    *successLength = PageBufferBase + PELMIX_PAGE_SIZE * PageCountOf(buffer);
    return ReadPages(static_cast<PELMIX_PAGE_TRANSFER*>(buffer));
}

uint32_t DoWritePages(void* buffer, uint32_t* successLength)
{
    *successLength = StatusLength;
    return WritePages(static_cast<PELMIX_PAGE_TRANSFER*>(buffer), 0);
}

uint32_t DoWritePagesPreErased(void* buffer, uint32_t* successLength)
{
    *successLength = StatusLength;
    return WritePages(static_cast<PELMIX_PAGE_TRANSFER*>(buffer), 1);
}

uint32_t DoErase(void* buffer, uint32_t* successLength)
{
    *successLength = StatusLength;
    return EraseRom(static_cast<PELMIX_REQUEST_HEADER*>(buffer));
}

uint32_t DoIdentify(void* buffer, uint32_t* successLength)
{
    *successLength = sizeof(PELMIX_CHIP_INFO);
    return QueryChip(static_cast<PELMIX_CHIP_INFO*>(buffer));
}

struct RequestRule {
    uint32_t Code;
    bool (*LengthsFit)(const void* buffer, uint32_t in, uint32_t out);
    uint32_t (*Operation)(void* buffer, uint32_t* successLength);
};

const RequestRule RequestRules[] = {
    {IOCTL_PELMIX_ENUM_DEVICES, CheckEnumerate, DoEnumerate},
    {IOCTL_PELMIX_READ_ROM, CheckReadRom, DoReadRom},
    {IOCTL_PELMIX_WRITE_ROM, CheckWriteRom, DoWriteRom},
    {IOCTL_PELMIX_READ_PAGES, CheckReadPages, DoReadPages},
    {IOCTL_PELMIX_WRITE_PAGES, CheckWritePages, DoWritePages},
    {IOCTL_PELMIX_ERASE_CHIP, CheckErase, DoErase},
    {IOCTL_PELMIX_WRITE_ROM_PREERASED, CheckWriteRom, DoWriteRomPreErased},
    {IOCTL_PELMIX_IDENTIFY_CHIP, CheckIdentify, DoIdentify},
    {IOCTL_PELMIX_WRITE_PAGES_PREERASED, CheckWritePages, DoWritePagesPreErased},
};

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
        uint32_t successLength = 0;
        uint32_t result = rule.Operation(buffer, &successLength);
        *information = result == PELMIX_RESULT_OK ? successLength : StatusLength;
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
