/* The video BIOS image as the wizard handles it: buffer size, signature,
   byte-sum checksum and the table locator at 0x38. Plain byte handling, no
   platform call. */
#ifndef DORVANE_BIOS_IMAGE_H
#define DORVANE_BIOS_IMAGE_H

#include <stddef.h>
#include <stdint.h>

#include "pelmix_ioctl.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "image records are read in place and assume a little-endian host"
#endif

enum : uint32_t {
    BiosImageBufferSize = PELMIX_ROM_DATA_SIZE, /* every image buffer */
    BiosImageBlockSize = 32768,                 /* files count in whole blocks */
    BiosChecksumOffset = 0x10,
    BiosTableLocatorOffset = 0x38,
    BiosRepairMinLength = BiosChecksumOffset + 1,
    BiosShortChecksumSpan = 0x1180, /* some boards leave their last bytes out of the sum */
    BiosSizeByteOffset = 2,         /* the option ROM's length in 512-byte units */
    BiosSizeUnit = 512,
};

/* Image bytes 0x38..0x5F. Only the named fields are read. */
struct TableLocator {
    uint8_t Unused38[8];
    uint32_t StringAreaOffset; /* legacy: image offset of the 128-byte text area */
    uint8_t Unused44[4];
    uint16_t LegacyFlags; /* 0: table stored whole; else the board's flags */
    uint16_t TableOffset; /* stored layout: image offset of the table */
    uint16_t LegacySlot6Value;
    uint16_t LegacySlot6Register;
    uint8_t Unused50[4];
    uint32_t LegacyClockHz;
    uint32_t DescriptorOffset;   /* legacy: 20-byte text descriptor block */
    uint32_t RegisterListOffset; /* legacy: (count, word) then count entries */
};

static_assert(sizeof(TableLocator) == 40, "TableLocator size");
static_assert(offsetof(TableLocator, StringAreaOffset) == 0x40 - BiosTableLocatorOffset, "StringAreaOffset");
static_assert(offsetof(TableLocator, LegacyFlags) == 0x48 - BiosTableLocatorOffset, "LegacyFlags");
static_assert(offsetof(TableLocator, TableOffset) == 0x4A - BiosTableLocatorOffset, "TableOffset");
static_assert(offsetof(TableLocator, LegacySlot6Value) == 0x4C - BiosTableLocatorOffset, "LegacySlot6Value");
static_assert(offsetof(TableLocator, LegacySlot6Register) == 0x4E - BiosTableLocatorOffset, "LegacySlot6Register");
static_assert(offsetof(TableLocator, LegacyClockHz) == 0x54 - BiosTableLocatorOffset, "LegacyClockHz");
static_assert(offsetof(TableLocator, DescriptorOffset) == 0x58 - BiosTableLocatorOffset, "DescriptorOffset");
static_assert(offsetof(TableLocator, RegisterListOffset) == 0x5C - BiosTableLocatorOffset, "RegisterListOffset");

/* Little-endian fields at any image offset (no alignment needed). */
uint16_t ImageWord(const uint8_t* image, uint32_t offset);
uint32_t ImageDword(const uint8_t* image, uint32_t offset);
void SetImageWord(uint8_t* image, uint32_t offset, uint16_t value);
void SetImageDword(uint8_t* image, uint32_t offset, uint32_t value);

/* The text of a result code of this folder: texts[code], or unknown for a
   code beyond the count texts. */
const char* ResultText(const char* const* texts, uint32_t count, uint32_t code, const char* unknown);

/* image holds BiosImageBufferSize bytes. */
void ReadTableLocator(const uint8_t* image, TableLocator* locator);

/* Byte sum 0 over length bytes and 0x55 0xAA first. A length of 0 or one
   beyond the image buffer is never valid. */
int ImageChecksumValid(const uint8_t* image, uint32_t length);

/* The sum of a board that leaves its last BiosShortChecksumSpan bytes out:
   valid over length less those bytes. */
int ImageChecksumValidShort(const uint8_t* image, uint32_t length);

/* The length the option ROM header declares: its size byte times 512, or 0
   when the image does not start with 0x55 0xAA. */
uint32_t ImageDeclaredLength(const uint8_t* image);

/* Sets byte 0x10 so the byte sum over length is 0. Returns 0 and leaves the
   image alone when length is below 17 or beyond the image buffer. */
int RepairImageChecksum(uint8_t* image, uint32_t length);

#endif
