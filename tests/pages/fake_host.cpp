#include "fake_host.h"

#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>

#include "command_line.h"
#include "text_lookup.h"
#include "wizard_state.h"
#include "write_sequence.h"

FakeCard Card;

// No string table natively: the built-in texts are shown.
int LoadStringTableText(unsigned, char*, size_t)
{
    return 0;
}

namespace {

int NextResult(std::vector<int>& results)
{
    if (results.empty())
        return 0;
    int r = results.front();
    results.erase(results.begin());
    return r;
}

int FakeRequest(uint32_t code, void* record, uint32_t length, uint32_t* returned)
{
    Card.Requests.push_back(code);
    *returned = 0;
    if (code == IOCTL_PELMIX_ENUM_DEVICES) {
        PELMIX_DEVICE_LIST* list = static_cast<PELMIX_DEVICE_LIST*>(record);
        if (length != sizeof *list)
            return 0;
        memset(list, 0, sizeof *list);
        list->Status = Card.EnumResult;
        list->Count = Card.EnumResult ? 0 : Card.CardCount;
        for (uint32_t i = 0; i < list->Count && i < PELMIX_MAX_DEVICES; ++i) {
            list->Entries[i].Bus = 1;
            list->Entries[i].Device = i;
            list->Entries[i].VendorId = 0x1D2E;
            list->Entries[i].DeviceId = 0x0C61;
            list->Entries[i].RevisionId = 5;
        }
        *returned = sizeof *list;
        return 1;
    }
    PELMIX_ROM_TRANSFER* rom = static_cast<PELMIX_ROM_TRANSFER*>(record);
    if (length != sizeof *rom)
        return 0;
    int result = NextResult(code == IOCTL_PELMIX_READ_ROM ? Card.ReadResults : Card.WriteResults);
    if (result < 0)
        return 0;
    if (result > 0) {
        if (code == IOCTL_PELMIX_WRITE_ROM)
            Card.Chip[0x100] ^= 0x5A;  // a failed write leaves the chip damaged
        rom->Header.Status = result;
        *returned = 4;
        return 1;
    }
    if (code == IOCTL_PELMIX_READ_ROM)
        memcpy(rom->Data, Card.Chip, Card.ChipSize);
    else
        memcpy(Card.Chip, rom->Data, Card.ChipSize);
    *returned = 16 + Card.ChipSize;
    return 1;
}

int FakeBox(void*, const char* text, const char* caption, uint32_t type, int highlight)
{
    Card.Boxes.push_back({text, caption ? caption : "", type, highlight});
    int answer = (type & 0xF) == BoxYesNo ? AnswerYes : AnswerOk;
    if (!Card.Answers.empty()) {
        answer = Card.Answers.front();
        Card.Answers.erase(Card.Answers.begin());
    }
    return answer;
}

void FakeEndRun()
{
    ++Card.EndRunCalls;
}

void RecordStep(FlashStep step)
{
    Card.Steps.push_back(step);
}

}  // namespace

WizardHost FakeHost = {FakeRequest, FakeBox, FakeEndRun, RecordStep};

void ResetFakes(uint32_t chipSize)
{
    Card = FakeCard();
    memset(Card.Chip, 0xFF, sizeof Card.Chip);
    Card.ChipSize = chipSize;
    InitWizardState(&TheWizard);
    UseWizardHost(&FakeHost);
    memset(&OptionFlags, 0, sizeof OptionFlags);
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back(uint8_t(c));
    fclose(f);
    return bytes;
}

FileSizeLimit::FileSizeLimit(unsigned long bytes)
{
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    OldSoft = limit.rlim_cur;
    OldHard = limit.rlim_max;
    OldHandler = signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit limit;
    limit.rlim_cur = OldSoft;
    limit.rlim_max = OldHard;
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, OldHandler);
}
