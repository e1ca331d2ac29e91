/* The command protocol of JEDEC parallel flash parts, as the driver sends it
   and the emulated parts decode it: two unlock writes at the part's two
   command addresses, then the command byte at the first. */
#ifndef PELMIX_JEDEC_FLASH_H
#define PELMIX_JEDEC_FLASH_H

enum JedecCommandByte {
    JEDEC_UNLOCK1 = 0xAA,      /* first unlock write, at command address 1 */
    JEDEC_UNLOCK2 = 0x55,      /* second unlock write, at command address 2 */
    JEDEC_IDENTIFY = 0x90,     /* identification mode: maker code at 0, device code at 1 */
    JEDEC_PROGRAM = 0xA0,      /* the next write programs a byte (or loads a page) */
    JEDEC_ERASE = 0x80,        /* erase set-up: a second unlock and the erase kind follow */
    JEDEC_CHIP_ERASE = 0x10,   /* after the erase set-up, at command address 1 */
    JEDEC_SECTOR_ERASE = 0x30, /* after the erase set-up, at the sector's offset */
    JEDEC_RESET = 0xF0         /* back to read mode, out of identification mode too */
};

/* The command addresses of parts that decode 15 address bits. */
enum JedecCommandAddress { JEDEC_COMMAND_ADDRESS1 = 0x5555, JEDEC_COMMAND_ADDRESS2 = 0x2AAA };

/* While a program or erase runs, a read shows bit 7 of the data being
   written inverted (data polling) and bit 6 flipping on every read. */
enum JedecStatusBit { JEDEC_DATA_POLL_BIT = 0x80, JEDEC_TOGGLE_BIT = 0x40 };

#endif
