// A card and a user for the wizard's logic: a flash chip the requests read
// and write, driver results to answer with, and message boxes that are
// recorded and answered from a script.
#ifndef DORVANE_TEST_FAKE_HOST_H
#define DORVANE_TEST_FAKE_HOST_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pelmix_ioctl.h"
#include "user_texts.h"
#include "wizard_host.h"

// Expectations made from the program's texts (texts.txt): a text's first
// line, and a text with its first %s or %d filled with value.
inline std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}
inline std::string Filled(std::string text, const std::string& value)
{
    size_t s = text.find("%s"), d = text.find("%d");
    size_t at = s < d ? s : d;
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

struct ShownBox {
    std::string Text;
    std::string Caption;  // "" for the installer title
    uint32_t Type;
    int Highlight;
};

struct FakeCard {
    uint8_t Chip[PELMIX_ROM_DATA_SIZE];
    uint32_t ChipSize = PELMIX_ROM_DATA_SIZE;
    // Driver results of the next requests of each kind (0 when the list is empty);
    // -1 makes the call itself fail.
    std::vector<int> ReadResults, WriteResults;
    int EnumResult = 0;
    uint32_t CardCount = 1;
    std::vector<uint32_t> Requests;  // codes, in order
    std::vector<ShownBox> Boxes;
    std::vector<int> Answers;  // answers to the next boxes; OK/Yes when empty
    int EndRunCalls = 0;
    std::vector<FlashStep> Steps;  // told by flash sessions, in order
};

extern FakeCard Card;

// The fake's host table, handed in by ResetFakes; a test may swap an
// operation and put it back.
extern WizardHost FakeHost;

// A fresh card, fresh wizard state and option flags; the host set to the fake.
void ResetFakes(uint32_t chipSize = PELMIX_ROM_DATA_SIZE);

// A disk that fills up: while it lives, files written by this process stop
// at the given size (a write past it fails instead of raising SIGXFSZ).
struct FileSizeLimit {
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long OldSoft, OldHard;
    void (*OldHandler)(int);
};

// The whole file; empty when it cannot be read.
std::vector<uint8_t> ReadFile(const std::string& path);

#endif
