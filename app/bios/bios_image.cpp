#include "bios_image.h"

#include "byte_routines.h"

const char* ResultText(const char* const* texts, uint32_t count, uint32_t code, const char* unknown)
{
    return code < count ? texts[code] : unknown;
}

uint16_t ImageWord(const uint8_t* image, uint32_t offset)
{
    return (uint16_t)(image[offset] | (image[offset + 1] << 8));
}

uint32_t ImageDword(const uint8_t* image, uint32_t offset)
{
    return (uint32_t)ImageWord(image, offset) | ((uint32_t)ImageWord(image, offset + 2) << 16);
}

void SetImageWord(uint8_t* image, uint32_t offset, uint16_t value)
{
    image[offset] = (uint8_t)value;
    image[offset + 1] = (uint8_t)(value >> 8);
}

void SetImageDword(uint8_t* image, uint32_t offset, uint32_t value)
{
    SetImageWord(image, offset, (uint16_t)value);
    SetImageWord(image, offset + 2, (uint16_t)(value >> 16));
}

void ReadTableLocator(const uint8_t* image, TableLocator* locator)
{
    CopyBytes(locator, image + BiosTableLocatorOffset, sizeof(TableLocator));
}

static uint8_t ByteSum(const uint8_t* image, uint32_t length)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; i < length; i++)
        sum = (uint8_t)(sum + image[i]);
    return sum;
}

int ImageChecksumValid(const uint8_t* image, uint32_t length)
{
    if (length < 2 || length > BiosImageBufferSize)
        return 0;
    return ByteSum(image, length) == 0 && image[0] == 0x55 && image[1] == 0xAA;
}

int ImageChecksumValidShort(const uint8_t* image, uint32_t length)
{
    return length > BiosShortChecksumSpan && ImageChecksumValid(image, length - BiosShortChecksumSpan);
}

uint32_t ImageDeclaredLength(const uint8_t* image)
{
    if (image[0] != 0x55 || image[1] != 0xAA)
        return 0;
    return uint32_t(image[BiosSizeByteOffset]) * BiosSizeUnit;
}

int RepairImageChecksum(uint8_t* image, uint32_t length)
{
    if (length < BiosRepairMinLength || length > BiosImageBufferSize)
        return 0;
    image[BiosChecksumOffset] = 0;
    image[BiosChecksumOffset] = (uint8_t)(256 - ByteSum(image, length));
    return 1;
}
