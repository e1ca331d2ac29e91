/* The PCI data structure of an option ROM: the "PCIR" record that the
   word at image offset 0x18 points to, naming the device the ROM is for
   (vendor, device, class code), its code type and its own length. Whether
   an image is one for an Orvel card is judged from it. Plain byte
   handling, no platform call. */
#ifndef DORVANE_PCI_DATA_H
#define DORVANE_PCI_DATA_H

#include <stddef.h>
#include <stdint.h>

enum : uint32_t {
    PciDataPointerOffset = 0x18, /* u16: image offset of the record */
    PciDataRecordSize = 0x18,    /* the fields read, through the indicator and its reserved word */
    PciDisplayClass = 0x03,      /* base class of a display controller */
};

struct PciData {
    uint32_t Offset; /* image offset of "PCIR" */
    uint16_t VendorId;
    uint16_t DeviceId;
    uint32_t ClassCode;   /* base class << 16 | subclass << 8 | interface */
    uint32_t ImageLength; /* its length field (512-byte units) in bytes */
    uint16_t CodeRevision;
    uint8_t CodeType;  /* 0: x86 PC code */
    uint8_t Indicator; /* bit 7: the last image of the ROM */
};

/* 1 with data filled when the first length bytes of image start with
   0x55 0xAA and the pointer at 0x18 leads to a "PCIR" record that lies
   whole within them; else 0. */
int ReadPciData(const uint8_t* image, uint32_t length, PciData* data);

/* What the PCI data structure says of the card an image is for. */
enum PciDataVerdict {
    PciDataOrvel,       /* a display ROM of a vendor of the card table */
    PciDataMissing,     /* none to be found: the card cannot be told */
    PciDataOtherVendor, /* a vendor no card of the table has */
    PciDataNotDisplay,  /* a vendor of the table, but not a display controller */
};

/* Reads image's PCI data structure into data and judges it. The device id
   is not judged: one image may serve several cards of a vendor. */
PciDataVerdict JudgePciData(const uint8_t* image, uint32_t length, PciData* data);

/* One line that names what is wrong with image (named name) for an Orvel
   card, or "" for PciDataOrvel; text holds size bytes. */
void PciDataProblem(const char* name, PciDataVerdict verdict, const PciData& data, char* text, size_t size);

#endif
