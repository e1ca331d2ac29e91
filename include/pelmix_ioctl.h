/* Request codes and wire records between Dorvane and the Pelmix driver.
   Usable from C and C++, user mode and kernel mode. Every field is
   little-endian; the layouts below are checked at compile time. */
#ifndef PELMIX_IOCTL_H
#define PELMIX_IOCTL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define PELMIX_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define PELMIX_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* CTL_CODE(FILE_DEVICE_UNKNOWN, function, METHOD_BUFFERED, FILE_ANY_ACCESS) */
#define PELMIX_CTL_CODE(function) ((0x22u << 16) | ((function) << 2))

#define IOCTL_PELMIX_ENUM_DEVICES          PELMIX_CTL_CODE(0x800u) /* 0x222000 */
#define IOCTL_PELMIX_READ_ROM              PELMIX_CTL_CODE(0x801u) /* 0x222004 */
#define IOCTL_PELMIX_WRITE_ROM             PELMIX_CTL_CODE(0x802u) /* 0x222008 */
#define IOCTL_PELMIX_READ_PAGES            PELMIX_CTL_CODE(0x803u) /* 0x22200C */
#define IOCTL_PELMIX_WRITE_PAGES           PELMIX_CTL_CODE(0x804u) /* 0x222010 */
#define IOCTL_PELMIX_ERASE_CHIP            PELMIX_CTL_CODE(0x805u) /* 0x222014 */
#define IOCTL_PELMIX_WRITE_ROM_PREERASED   PELMIX_CTL_CODE(0x806u) /* 0x222018 */
#define IOCTL_PELMIX_IDENTIFY_CHIP         PELMIX_CTL_CODE(0x807u) /* 0x22201C */
#define IOCTL_PELMIX_WRITE_PAGES_PREERASED PELMIX_CTL_CODE(0x808u) /* 0x222020 */

#define PELMIX_DEVICE_NAME_W L"\\Device\\PELMIX"
#define PELMIX_LINK_NAME_W   L"\\DosDevices\\PELMIX"
#define PELMIX_USER_PATH     "\\\\.\\PELMIX"

#define PELMIX_MAX_DEVICES   8u
#define PELMIX_ROM_DATA_SIZE 131072u /* 128 KB */
#define PELMIX_PAGE_SIZE     128u
/* A page transfer buffer carries three spare bytes after its pages. */
#define PELMIX_PAGE_BUFFER_SLACK 3u

/* Driver result codes, carried in Status. 7 and 9 are not used. */
#define PELMIX_RESULT_OK               0u
#define PELMIX_RESULT_TOO_MANY_CARDS   1u
#define PELMIX_RESULT_NO_CARD          2u
#define PELMIX_RESULT_NOT_LISTED       3u
#define PELMIX_RESULT_MAP_REGISTERS    4u
#define PELMIX_RESULT_MAP_ROM          5u
#define PELMIX_RESULT_PROGRAM_TIMEOUT  6u
#define PELMIX_RESULT_CPU_QUERY        8u
#define PELMIX_RESULT_THREAD_CREATE    10u
#define PELMIX_RESULT_HOLD_TIMEOUT     11u
#define PELMIX_RESULT_BAD_START_OFFSET 12u
#define PELMIX_RESULT_BEYOND_CHIP      13u
#define PELMIX_RESULT_ERASE_REQUIRED   14u
#define PELMIX_RESULT_UNKNOWN_CHIP     15u

typedef struct PELMIX_REQUEST_HEADER {
    uint32_t Status;
    uint32_t Bus;
    uint32_t Device;
    uint32_t Function;
} PELMIX_REQUEST_HEADER;

typedef struct PELMIX_DEVICE_ENTRY {
    uint32_t Bus;
    uint32_t Device;
    uint32_t Function;
    uint32_t VendorId;
    uint32_t DeviceId;
    uint32_t SubsystemVendorId;
    uint32_t SubsystemId;
    uint32_t RevisionId;
    uint32_t Bar0;
    uint32_t Bar1;
    uint32_t RomBar;
    uint32_t IsAgp;
    uint32_t MemoryEnabled;
    uint32_t Family;
} PELMIX_DEVICE_ENTRY;

typedef struct PELMIX_DEVICE_LIST {
    uint32_t Status;
    uint32_t Count;
    PELMIX_DEVICE_ENTRY Entries[PELMIX_MAX_DEVICES];
} PELMIX_DEVICE_LIST;

typedef struct PELMIX_ROM_TRANSFER {
    PELMIX_REQUEST_HEADER Header;
    uint8_t Data[PELMIX_ROM_DATA_SIZE];
} PELMIX_ROM_TRANSFER;

/* A page transfer of n pages occupies 24 + 128 * n bytes and travels in a
   buffer of at least PELMIX_PAGE_BUFFER_LENGTH(n) bytes; the record below
   shows its first page only. */
typedef struct PELMIX_PAGE_TRANSFER {
    PELMIX_REQUEST_HEADER Header;
    uint32_t StartOffset;
    uint32_t PageCount;
    uint8_t Data[PELMIX_PAGE_SIZE];
} PELMIX_PAGE_TRANSFER;

#define PELMIX_PAGE_TRANSFER_DATA_OFFSET 24u
#define PELMIX_PAGE_BUFFER_LENGTH(n)                                                                                   \
    (PELMIX_PAGE_TRANSFER_DATA_OFFSET + PELMIX_PAGE_BUFFER_SLACK + PELMIX_PAGE_SIZE * (n))

typedef struct PELMIX_CHIP_INFO {
    PELMIX_REQUEST_HEADER Header;
    uint32_t ChipId;
    uint32_t SizeKb;
    uint32_t SectorSize;
    uint32_t EraseRequired;
    char ChipName[32];
} PELMIX_CHIP_INFO;

PELMIX_STATIC_ASSERT(IOCTL_PELMIX_ENUM_DEVICES == 0x222000u, "ENUM_DEVICES code");
PELMIX_STATIC_ASSERT(IOCTL_PELMIX_IDENTIFY_CHIP == 0x22201Cu, "IDENTIFY_CHIP code");
PELMIX_STATIC_ASSERT(IOCTL_PELMIX_WRITE_PAGES_PREERASED == 0x222020u, "WRITE_PAGES_PREERASED code");

PELMIX_STATIC_ASSERT(sizeof(PELMIX_REQUEST_HEADER) == 16, "header size");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_REQUEST_HEADER, Status) == 0, "Status offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_REQUEST_HEADER, Bus) == 4, "Bus offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_REQUEST_HEADER, Device) == 8, "Device offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_REQUEST_HEADER, Function) == 12, "Function offset");

PELMIX_STATIC_ASSERT(sizeof(PELMIX_DEVICE_ENTRY) == 56, "entry size");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, VendorId) == 12, "VendorId offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, DeviceId) == 16, "DeviceId offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, SubsystemVendorId) == 20, "SubsystemVendorId offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, SubsystemId) == 24, "SubsystemId offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, RevisionId) == 28, "RevisionId offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, Bar0) == 32, "Bar0 offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, Bar1) == 36, "Bar1 offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, RomBar) == 40, "RomBar offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, IsAgp) == 44, "IsAgp offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, MemoryEnabled) == 48, "MemoryEnabled offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_ENTRY, Family) == 52, "Family offset");

PELMIX_STATIC_ASSERT(sizeof(PELMIX_DEVICE_LIST) == 456, "device list size");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_LIST, Count) == 4, "Count offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_DEVICE_LIST, Entries) == 8, "Entries offset");

PELMIX_STATIC_ASSERT(sizeof(PELMIX_ROM_TRANSFER) == 131088, "ROM transfer size");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_ROM_TRANSFER, Data) == 16, "ROM Data offset");

PELMIX_STATIC_ASSERT(offsetof(PELMIX_PAGE_TRANSFER, StartOffset) == 16, "StartOffset offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_PAGE_TRANSFER, PageCount) == 20, "PageCount offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_PAGE_TRANSFER, Data) == PELMIX_PAGE_TRANSFER_DATA_OFFSET, "page Data offset");
PELMIX_STATIC_ASSERT(PELMIX_PAGE_BUFFER_LENGTH(2) == 283, "two-page buffer length");

PELMIX_STATIC_ASSERT(sizeof(PELMIX_CHIP_INFO) == 64, "chip info size");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_CHIP_INFO, ChipId) == 16, "ChipId offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_CHIP_INFO, SizeKb) == 20, "SizeKb offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_CHIP_INFO, SectorSize) == 24, "SectorSize offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_CHIP_INFO, EraseRequired) == 28, "EraseRequired offset");
PELMIX_STATIC_ASSERT(offsetof(PELMIX_CHIP_INFO, ChipName) == 32, "ChipName offset");

#ifdef __cplusplus
}
#endif

#endif /* PELMIX_IOCTL_H */
