// The flash parts: command state machine, identification, programming,
// erasing, data polling and completion times on the virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emu_test_support.h"
#include "pci_machine.h"

namespace {

std::vector<uint8_t> Bytes(uint32_t offset, uint32_t count)
{
    std::vector<uint8_t> bytes(count);
    EXPECT_EQ(EmuChipPeek(0, 0x0A, 0, offset, bytes.data(), count), 1);
    return bytes;
}

void Fill(uint32_t offset, uint8_t value, uint32_t count)
{
    std::vector<uint8_t> bytes(count, value);
    ASSERT_EQ(EmuChipPoke(0, 0x0A, 0, offset, bytes.data(), count), 1);
}

uint32_t ReadId()
{
    ChipCommand(0x90);
    uint32_t id = Chip(0) | (Chip(1) << 8);
    ChipCommand(0xF0);
    return id;
}

TEST(FlashChip, EveryPartAnswersItsIdentificationCode)
{
    const char* codes[] = {"351F", "171F", "2320", "D4BF", "D5BF", "9FDF", "08BF"};
    for (const char* code : codes) {
        LoadOrFail(CardMachine(code));
        Fill(0, 0x55, 1);
        OpenChip();
        EXPECT_EQ(ReadId(), std::stoul(code, nullptr, 16)) << code;
        EXPECT_EQ(Chip(0), 0x55) << code << " back in read mode";
        EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
    }
    LoadOrFail(CardMachine("noid"));
    const uint8_t bios[2] = {0x55, 0xAA};
    EmuChipPoke(0, 0x0A, 0, 0, bios, 2);
    OpenChip();
    EXPECT_EQ(ReadId(), 0xAA55u) << "a part without identification mode shows its contents";
    EXPECT_EQ(EmuChipSize(0, 0x0A, 0), 0x20000u);
}

TEST(FlashChip, ABrokenUnlockSequenceLeavesReadMode)
{
    LoadOrFail(CardMachine("D5BF"));
    OpenChip();
    ChipPut(0x5555, 0xAA);
    ChipPut(0x2AAB, 0x55);  // wrong address
    ChipPut(0x5555, 0x90);
    EXPECT_EQ(Chip(0), 0xFF) << "not in identification mode";
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
    ChipCommand(0x90);
    EXPECT_FALSE(EmuChipIdle(0, 0x0A, 0)) << "identification mode is not read mode";
    ChipPut(0x1234, 0xF0);  // a lone reset
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
}

TEST(FlashChip, ByteProgramPollsUntilItsTimeAndOnlyClearsBitsOnEraseFirstParts)
{
    LoadOrFail(CardMachine("D5BF"));
    Fill(0x100, 0xF0, 1);
    OpenChip();
    ChipCommand(0xA0);
    ChipPut(0x100, 0x3C);
    // Busy: bit 7 is the complement of the data, bit 6 toggles.
    uint8_t first = Chip(0x100), second = Chip(0x100);
    EXPECT_EQ(first & 0x80, 0x80);
    EXPECT_NE(first & 0x40, second & 0x40);
    EmuAdvanceUs(13);
    EXPECT_NE(Chip(0x100), 0x30);
    EmuAdvanceUs(1);  // 14 us
    EXPECT_EQ(Chip(0x100), 0x30) << "0xF0 programmed with 0x3C keeps only common bits";

    // Parts that program any value: the byte is replaced.
    LoadOrFail(CardMachine("171F"));
    Fill(0x100, 0xF0, 1);
    OpenChip();
    ChipCommand(0xA0);
    ChipPut(0x100, 0x3C);
    EmuAdvanceUs(12);
    EXPECT_EQ(Chip(0x100), 0x3C);
}

TEST(FlashChip, CommandsAreIgnoredWhileBusy)
{
    LoadOrFail(CardMachine("9FDF"));
    OpenChip();
    ChipCommand(0xA0);
    ChipPut(0x10, 0x00);
    ChipCommand(0x90);  // during the program
    EmuAdvanceUs(10);
    EXPECT_EQ(Chip(0x10), 0x00);
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
}

TEST(FlashChip, PageWriteErasesTheUnloadedBytesOfThePage)
{
    LoadOrFail(CardMachine("351F"));
    Fill(0x200, 0x11, 256);
    OpenChip();
    ChipCommand(0xA0);
    for (uint32_t i = 0; i < 64; ++i)
        ChipPut(0x200 + i, static_cast<uint8_t>(i));
    uint64_t loadedAt = EmuNowUs();
    EXPECT_EQ(Chip(0x23F) & 0x80, 0x80) << "data polling on the last byte (0x3F) while busy";
    EmuAdvanceUs(9999);
    EXPECT_EQ(Chip(0x23F) & 0x80, 0x80);
    EmuAdvanceUs(1);
    EXPECT_EQ(EmuNowUs() - loadedAt, 10000u);
    EXPECT_EQ(Chip(0x23F), 0x3F);
    std::vector<uint8_t> page = Bytes(0x200, 256);
    EXPECT_EQ(page[0x3F], 0x3F);
    EXPECT_EQ(page[0x40], 0xFF) << "not loaded: erased by the page write";
    EXPECT_EQ(page[0x7F], 0xFF);
    EXPECT_EQ(page[0x80], 0x11) << "the next page is untouched";
}

TEST(FlashChip, APageLoadStaysInsideOnePage)
{
    LoadOrFail(CardMachine("08BF"));
    OpenChip();
    ChipCommand(0xA0);
    ChipPut(0x17F, 0x01);
    ChipPut(0x180, 0x02);  // next page: not part of this load
    EmuAdvanceUs(5000);
    EXPECT_EQ(Chip(0x17F), 0x01);
    EXPECT_EQ(Bytes(0x180, 1)[0], 0xFF);
    EXPECT_EQ(EmuCardLostChipWrites(0, 0x0A, 0), 1u);
}

TEST(FlashChip, ChipEraseTakesItsTimeAndUsesThePartsCommandAddresses)
{
    LoadOrFail(CardMachine("2320"));
    Fill(0, 0x00, 0x20000);
    OpenChip();
    EmuClearChipCommands();
    ChipCommand(0x80, 0x555, 0x2AA);
    ChipCommand(0x10, 0x555, 0x2AA);
    EmuAdvanceUs(999999);
    EXPECT_EQ(Chip(0) & 0x80, 0x00) << "erasing: bit 7 reads 0";
    EmuAdvanceUs(1);
    EXPECT_EQ(Chip(0), 0xFF);
    EXPECT_EQ(Bytes(0x1FFFF, 1)[0], 0xFF);
    EmuChipCommand command;
    ASSERT_EQ(EmuChipCommandCount(), 1u);
    ASSERT_EQ(EmuChipCommandAt(0, &command), 1);
    EXPECT_EQ(command.Kind, static_cast<uint32_t>(EmuCommandChipErase));
    EXPECT_EQ(command.Address1, 0x555u);
    EXPECT_EQ(command.Address2, 0x2AAu);
    // The part decodes eleven address bits, so identification at 0x5555 works.
    EXPECT_EQ(ReadId(), 0x2320u);
    // Other parts ignore 0x555.
    LoadOrFail(CardMachine("D5BF"));
    OpenChip();
    ChipCommand(0x90, 0x555, 0x2AA);
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
}

TEST(FlashChip, SectorEraseClearsOneFourKilobyteSector)
{
    LoadOrFail(CardMachine("D4BF"));
    Fill(0, 0x00, 0x10000);
    OpenChip();
    ChipCommand(0x80);
    ChipPut(0x5555, 0xAA);
    ChipPut(0x2AAA, 0x55);
    ChipPut(0x1234, 0x30);
    EmuAdvanceUs(18000);
    EXPECT_EQ(Chip(0x1000), 0xFF);
    EXPECT_EQ(Chip(0x1FFF), 0xFF);
    EXPECT_EQ(Chip(0x0FFF), 0x00);
    EXPECT_EQ(Chip(0x2000), 0x00);
    EXPECT_EQ(Chip(0x11000), 0xFF) << "a 64-KB part repeats every 64 KB";
    EXPECT_EQ(Chip(0x12000), 0x00);
}

TEST(FlashChip, FaultsDelayOrStopCompletion)
{
    LoadOrFail(CardMachine("D5BF") + "fault slow 0:0a.0 45\nfault stuck 0:0a.0 0x20\n");
    OpenChip();
    ChipCommand(0xA0);
    ChipPut(0x10, 0x12);
    EmuAdvanceUs(44);
    EXPECT_NE(Chip(0x10), 0x12);
    EmuAdvanceUs(1);
    EXPECT_EQ(Chip(0x10), 0x12);

    ChipCommand(0xA0);
    ChipPut(0x20, 0x12);
    EmuAdvanceUs(1000000);
    EXPECT_NE(Chip(0x20), 0x12) << "stuck: never completes";
    ChipCommand(0x90);
    EXPECT_FALSE(EmuChipIdle(0, 0x0A, 0));
    ChipPut(0, 0xF0);  // a reset ends it, the byte unwritten
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
    EXPECT_EQ(Chip(0x20), 0xFF);

    // A stuck page ends when the ROM decoder goes off.
    LoadOrFail(CardMachine("08BF") + "fault stuck 0:0a.0 0x85\n");
    OpenChip();
    ChipCommand(0xA0);
    for (uint32_t i = 0; i < 128; ++i)
        ChipPut(0x80 + i, 0x00);
    EmuAdvanceUs(100000);
    EXPECT_EQ(Chip(0xFF) & 0x80, 0x80);
    ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory);
    EXPECT_TRUE(EmuChipIdle(0, 0x0A, 0));
    std::vector<uint8_t> page = Bytes(0x80, 128);
    EXPECT_EQ(page[4], 0x00);
    EXPECT_EQ(page[5], 0xFF) << "the stuck byte";
}

// A corrupt byte reads right as first found and throughout the request that
// programs it (its data polling sees it right), then complemented in later
// requests, COUNT times in all; without a count, every time.
TEST(FlashChip, ACorruptByteReadsWrongInTheRequestsAfterItsProgramming)
{
    LoadOrFail(CardMachine("D5BF") + "fault corrupt 0:0a.0 0x10 2\nfault corrupt 0:0a.0 0x20\n");
    Fill(0x10, 0x5A, 1);
    OpenChip();
    EXPECT_EQ(Chip(0x10), 0x5A) << "as first found";
    for (uint32_t offset : {0x10u, 0x20u}) {
        ChipCommand(0xA0);
        ChipPut(offset, 0x12);
        EmuAdvanceUs(1000);
        EXPECT_EQ(Chip(offset), 0x12) << "the programming request reads it right";
    }
    ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory);  // the request ends
    OpenChip();
    EXPECT_EQ(Chip(0x10), 0xED);
    EXPECT_EQ(Chip(0x11), 0xFF) << "its neighbour reads right";
    EXPECT_EQ(Chip(0x10), 0xED);
    EXPECT_EQ(Chip(0x10), 0x12) << "the count is spent";
    EXPECT_EQ(Bytes(0x10, 1), std::vector<uint8_t> {0x12}) << "the chip holds the right byte";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Chip(0x20), 0xED) << "no count: always wrong";

    // Programmed again: right meanwhile, wrong again in the next request.
    ChipCommand(0xA0);
    ChipPut(0x20, 0x02);
    EmuAdvanceUs(1000);
    EXPECT_EQ(Chip(0x20), 0x02);
    ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory);
    OpenChip();
    EXPECT_EQ(Chip(0x20), 0xFD);
    EXPECT_EQ(Chip(0x10), 0x12);
}

}  // namespace
