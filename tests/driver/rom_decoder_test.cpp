// A card whose expansion ROM decoder is smaller than its chip: the scan
// sizes the decoder, and the whole-chip requests refuse the card with the
// chip untouched, while the part the decoder shows stays reachable by pages.
#include "chip_test_support.h"

namespace {

using namespace chiptest;

using RomDecoder = ChipTest;

// A family-3 card whose ROM decoder spans rom (a size like "64K") in front
// of the chip.
std::string DecoderMachine(const char* flash, const char* rom)
{
    return std::string("cpus 2\npci 1:00.0 id=1D2E:0C61 bar0=0xD0000000/64M bar1=0xD4000000/16K rom=0x50000000/") +
        rom + " flash=" + flash + "\n";
}

std::vector<uint8_t> Pattern(uint32_t size)
{
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = PatternByte(i);
    return bytes;
}

TEST_F(RomDecoder, TheScanSizesEveryCardsDecoderAndPutsTheBarBack)
{
    // Below 2 GB the slot accounting leaves the ROM BAR alone; the card's
    // own sizing probes it once.
    for (const char* rom : {"64K", "128K"}) {
        SCOPED_TRACE(rom);
        StartOn(DecoderMachine("08BF", rom));
        EXPECT_EQ(Driver.CardTable.RomDecoderSize[0], std::string(rom) == "64K" ? 0x10000u : 0x20000u);
        EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x30), 2u);
        EXPECT_EQ(EmuPeekConfig32(CardBus, CardDevice, CardFunction, 0x30), 0x50000000u);
    }
    // Above 2 GB the accounting's probe serves: still two writes.
    StartOn(CardMachine(3, "08BF"));
    EXPECT_EQ(Driver.CardTable.RomDecoderSize[0], 0x20000u);
    EXPECT_EQ(EmuConfigWriteCount(CardBus, CardDevice, CardFunction, 0x30), 2u);
}

TEST_F(RomDecoder, AChipLargerThanTheDecoderIsRefusedWholeAndLeftAsItWas)
{
    const std::vector<uint8_t> pattern = Pattern(0x20000);
    for (const char* flash : {"08BF", "D5BF", "2320"}) {
        const uint32_t codes[] = {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM, IOCTL_PELMIX_WRITE_ROM_PREERASED,
                                  IOCTL_PELMIX_ERASE_CHIP};
        for (uint32_t code : codes) {
            SCOPED_TRACE(testing::Message() << flash << ", code " << std::hex << code);
            StartOn(DecoderMachine(flash, "64K"));
            ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, pattern.data(), 0x20000), 1);
            CardSnapshot before = TakeSnapshot();
            RomRequest request;
            memset(request.Record()->Data, 0x11, PELMIX_ROM_DATA_SIZE);
            RequestReply reply;
            uint32_t status;
            if (code == IOCTL_PELMIX_ERASE_CHIP) {
                PELMIX_REQUEST_HEADER header;
                reply = SendErase(&header);
                status = header.Status;
            } else {
                reply = SendRom(code, &request);
                status = request.Record()->Header.Status;
            }
            EXPECT_EQ(reply.SystemStatus, 0u);
            EXPECT_EQ(status, PELMIX_RESULT_MAP_ROM);
            EXPECT_EQ(reply.Information, 4u) << "only the Status comes back";
            EXPECT_EQ(ChipBytes(0, 0x20000), pattern) << "the chip changed";
            ExpectLeftAsFound(before);
        }
    }
}

TEST_F(RomDecoder, PagesReachWhatTheDecoderShowsAndAChipThatFitsIsWholeAgain)
{
    StartOn(DecoderMachine("D5BF", "64K"));
    const std::vector<uint8_t> pattern = Pattern(0x20000);
    ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, pattern.data(), 0x20000), 1);
    PageRequest low(0xFF80, 1);
    SendPages(IOCTL_PELMIX_READ_PAGES, &low);
    EXPECT_EQ(low.Status(), PELMIX_RESULT_OK);
    EXPECT_EQ(std::vector<uint8_t>(low.Page(0), low.Page(0) + 128),
              std::vector<uint8_t>(pattern.begin() + 0xFF80, pattern.begin() + 0x10000));
    PageRequest across(0xFF80, 2);
    SendPages(IOCTL_PELMIX_READ_PAGES, &across);
    EXPECT_EQ(across.Status(), PELMIX_RESULT_BEYOND_CHIP);
    PageRequest high(0x10000, 1);
    memset(high.Page(0), 0, 128);
    SendPages(IOCTL_PELMIX_WRITE_PAGES_PREERASED, &high);
    EXPECT_EQ(high.Status(), PELMIX_RESULT_BEYOND_CHIP);
    EXPECT_EQ(ChipBytes(0, 0x20000), pattern);
    PELMIX_CHIP_INFO info;
    SendIdentify(&info);
    EXPECT_EQ(info.Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(info.SizeKb, 128u);

    // A 64-KB chip behind a 64-KB decoder: read and written whole.
    StartOn(DecoderMachine("D4BF", "64K"));
    RomRequest write;
    memcpy(write.Record()->Data, pattern.data(), PELMIX_ROM_DATA_SIZE);
    SendRom(IOCTL_PELMIX_WRITE_ROM, &write);
    EXPECT_EQ(write.Record()->Header.Status, PELMIX_RESULT_OK);
    RomRequest read;
    RequestReply reply = SendRom(IOCTL_PELMIX_READ_ROM, &read);
    EXPECT_EQ(read.Record()->Header.Status, PELMIX_RESULT_OK);
    EXPECT_EQ(reply.Information, 16u + 0x10000u);
    EXPECT_EQ(ChipBytes(0, 0x10000), std::vector<uint8_t>(pattern.begin(), pattern.begin() + 0x10000));
}

}  // namespace
