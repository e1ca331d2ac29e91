/* The command protocol of JEDEC parallel flash parts, as the driver sends it
   and the emulated parts decode it: two unlock writes at the part's two
   command addresses, then the command byte at the first. */
#ifndef PELMIX_JEDEC_FLASH_H
#define PELMIX_JEDEC_FLASH_H

enum JedecCommandByte {
    JedecUnlock1 = 0xAA,     /* first unlock write, at command address 1 */
    JedecUnlock2 = 0x55,     /* second unlock write, at command address 2 */
    JedecIdentify = 0x90,    /* identification mode: maker code at 0, device code at 1 */
    JedecProgram = 0xA0,     /* the next write programs a byte (or loads a page) */
    JedecErase = 0x80,       /* erase set-up: a second unlock and the erase kind follow */
    JedecChipErase = 0x10,   /* after the erase set-up, at command address 1 */
    JedecSectorErase = 0x30, /* after the erase set-up, at the sector's offset */
    JedecReset = 0xF0        /* back to read mode, out of identification mode too */
};

/* The command addresses of parts that decode 15 address bits. */
enum JedecCommandAddress { JedecCommandAddress1 = 0x5555, JedecCommandAddress2 = 0x2AAA };

/* While a program or erase runs, a read shows bit 7 of the data being
   written inverted (data polling) and bit 6 flipping on every read. */
enum JedecStatusBit { JedecDataPollBit = 0x80, JedecToggleBit = 0x40 };

#endif
