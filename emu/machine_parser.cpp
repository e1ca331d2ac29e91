// The machine file: one directive a line, '#' starts a comment.
//   cpus N [mask=0xHEX]
//   pci B:D.F id=VVVV:DDDD [rev=HH] [class=CCSS] [header=HH] [cmd=HHHH]
//       [status=HHHH] [subsys=VVVV:DDDD] [barN=0xBASE/SIZE]... [rom=0xBASE/SIZE]
//       [agp] [cfgXX=0xVALUE]... [flash=XXXX|noid] [image=FILE] [regXXXX=0xVALUE]...
//   fault map-register [B:D.F] | map-rom [B:D.F] | cpu-query | cpu-thread |
//         cpu-timeout | cpu-straggler | cpu-linger | stuck B:D.F OFFSET [COUNT] |
//         slow B:D.F US | corrupt B:D.F OFFSET [COUNT] | config-ignored B:D.F OFFSET |
//         decoding-stuck-on B:D.F
#include "emu_text.h"
#include "machine_state.h"
#include "orvel_cards.h"
#include "orvel_registers.h"
#include "pci_registers.h"

namespace {

enum { MaxTokens = 64, MaxRawRegisters = 64, MaxCardRegisters = 32 };

struct ParseError {
    char* Text;
    uint32_t Size;
    uint32_t LineNumber;
};

int Fail(ParseError* error, const char* reason, EmuToken detail)
{
    if (error->Text && error->Size > 0) {
        EmuLine line;
        EmuLineStart(&line, error->Text, error->Size);
        EmuLineText(&line, "line ");
        EmuLineDecimal(&line, error->LineNumber);
        EmuLineText(&line, ": ");
        EmuLineText(&line, reason);
        if (detail.Length > 0) {
            EmuLineText(&line, " '");
            EmuLineToken(&line, detail);
            EmuLineText(&line, "'");
        }
    }
    return 0;
}

int Fail(ParseError* error, const char* reason)
{
    EmuToken none = {"", 0};
    return Fail(error, reason, none);
}

void Warn(uint32_t lineNumber, const char* reason, EmuToken detail)
{
    char text[160];
    EmuLine line;
    EmuLineStart(&line, text, sizeof text);
    EmuLineText(&line, "line ");
    EmuLineDecimal(&line, lineNumber);
    EmuLineText(&line, ": ");
    EmuLineText(&line, reason);
    EmuLineText(&line, " '");
    EmuLineToken(&line, detail);
    EmuLineText(&line, "'");
    EmuEmitWarning(text);
}

int IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits one line (comment already cut) into tokens; 0 if there are too many.
int Tokenize(const char* text, uint32_t length, EmuToken* tokens, uint32_t* count)
{
    *count = 0;
    uint32_t i = 0;
    while (i < length) {
        while (i < length && IsSpace(text[i]))
            ++i;
        if (i >= length)
            break;
        uint32_t start = i;
        while (i < length && !IsSpace(text[i]))
            ++i;
        if (*count == MaxTokens)
            return 0;
        tokens[*count].Text = text + start;
        tokens[*count].Length = i - start;
        ++*count;
    }
    return 1;
}

int IsPowerOfTwo(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

// One to maxDigits hex digits, after an optional 0x.
int ParseHexField(EmuToken token, uint32_t maxDigits, uint32_t* value)
{
    EmuToken digits = token;
    if (digits.Length > 2 && digits.Text[0] == '0' && (digits.Text[1] == 'x' || digits.Text[1] == 'X')) {
        digits.Text += 2;
        digits.Length -= 2;
    }
    if (digits.Length == 0 || digits.Length > maxDigits)
        return 0;
    return EmuParseHex(digits, value);
}

int ParseIdPair(EmuToken token, uint32_t* value)
{
    EmuToken vendor, device;
    uint32_t v, d;
    if (!EmuTokenSplit(token, ':', &vendor, &device))
        return 0;
    if (!ParseHexField(vendor, 4, &v) || !ParseHexField(device, 4, &d))
        return 0;
    *value = v | (d << 16);
    return 1;
}

// 0xBASE/SIZE; the base keeps its low type bits.
int ParseDecoder(EmuToken token, uint32_t* base, uint32_t* size)
{
    EmuToken baseText, sizeText;
    if (!EmuTokenSplit(token, '/', &baseText, &sizeText))
        return 0;
    return EmuParseNumber(baseText, base) && EmuParseSize(sizeText, size);
}

struct RawRegister {
    uint32_t Offset;
    uint32_t Value;
};

struct PciLine {
    uint32_t Bus, Device, Function;
    int HasId;
    uint32_t Id;
    uint32_t Revision, ClassCode, HeaderType, Command, Status, Subsystem;
    int HasClass, HasCommand, HasSubsystem, Agp;
    uint32_t BarValue[6];
    uint32_t BarSize[6];
    int HasRom;
    uint32_t RomValue, RomSize;
    uint32_t RawCount;
    RawRegister Raw[MaxRawRegisters];
    uint32_t CardRegisterCount;
    RawRegister CardRegisters[MaxCardRegisters];
    const EmuFlashModel* Flash;
    EmuToken Image;
};

PciLine Pending;

int ParseBar(EmuToken value, uint32_t bar, PciLine* pci, ParseError* error)
{
    uint32_t base, size;
    if (!ParseDecoder(value, &base, &size))
        return Fail(error, "bad BAR, expected 0xBASE/SIZE", value);
    int io = (base & PciBarIoSpace) != 0;
    if (!IsPowerOfTwo(size) || size < (io ? 4u : 16u))
        return Fail(error, "BAR size must be a power of two of at least 16 (4 for I/O)", value);
    uint32_t typeBits = io ? PciBarIoFlags : PciBarMemoryFlags;
    if ((base & ~typeBits) & (size - 1))
        return Fail(error, "BAR base is not aligned to its size", value);
    if (!io && (base & PciBarMemoryType) == PciBarMemory64 && bar == 5)
        return Fail(error, "a 64-bit BAR needs the next BAR for its upper half", value);
    pci->BarValue[bar] = base;
    pci->BarSize[bar] = size;
    return 1;
}

int ParseRom(EmuToken value, PciLine* pci, ParseError* error)
{
    uint32_t base, size;
    if (!ParseDecoder(value, &base, &size))
        return Fail(error, "bad ROM BAR, expected 0xBASE/SIZE", value);
    if (!IsPowerOfTwo(size) || size < 2048)
        return Fail(error, "ROM size must be a power of two of at least 2K", value);
    if ((base & ~PciRomEnable) & (size - 1))
        return Fail(error, "ROM base is not aligned to its size", value);
    pci->HasRom = 1;
    pci->RomValue = base;
    pci->RomSize = size;
    return 1;
}

// A PCI register field of HH.. hex digits: rev, header, cmd, status.
int ParseRegisterField(EmuToken value, uint32_t digits, const char* problem, uint32_t* field, int* has,
                       ParseError* error)
{
    if (!ParseHexField(value, digits, field))
        return Fail(error, problem, value);
    if (has)
        *has = 1;
    return 1;
}

int ParseIdKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    if (!ParseIdPair(value, &pci->Id))
        return Fail(error, "bad id, expected VVVV:DDDD", value);
    pci->HasId = 1;
    return 1;
}

int ParseSubsystemKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    if (!ParseIdPair(value, &pci->Subsystem))
        return Fail(error, "bad subsys, expected VVVV:DDDD", value);
    pci->HasSubsystem = 1;
    return 1;
}

int ParseRevisionKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    return ParseRegisterField(value, 2, "bad rev, expected HH", &pci->Revision, 0, error);
}

int ParseClassKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    // CCSS gets programming interface 00; CCSSPP (or 0xCCSSPP) names it.
    int full = value.Length == 6 || value.Length == 8;
    if (!ParseHexField(value, full ? 6 : 4, &pci->ClassCode))
        return Fail(error, "bad class, expected CCSS or CCSSPP", value);
    if (!full)
        pci->ClassCode <<= 8;
    pci->HasClass = 1;
    return 1;
}

int ParseHeaderKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    return ParseRegisterField(value, 2, "bad header, expected HH", &pci->HeaderType, 0, error);
}

int ParseCommandKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    return ParseRegisterField(value, 4, "bad cmd, expected HHHH", &pci->Command, &pci->HasCommand, error);
}

int ParseStatusKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    return ParseRegisterField(value, 4, "bad status, expected HHHH", &pci->Status, 0, error);
}

int ParseBarKey(EmuToken key, EmuToken value, PciLine* pci, ParseError* error)
{
    if (key.Length != 4 || key.Text[3] < '0' || key.Text[3] > '5') {
        Warn(error->LineNumber, "unknown key ignored:", key);
        return 1;
    }
    return ParseBar(value, static_cast<uint32_t>(key.Text[3] - '0'), pci, error);
}

int ParseRomKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    return ParseRom(value, pci, error);
}

// A register key's kind: cfgXX sets a configuration register, regXXXX a card
// register, the offset in hex after the three letters.
struct RegisterKey {
    uint32_t Digits;
    uint32_t Limit;  // offsets are below it
    uint32_t Most;   // settings on one line
    const char* BadOffset;
    const char* TooMany;
};

const RegisterKey ConfigRegisterKey = {2, PciConfigSpaceSize, MaxRawRegisters,
                                       "bad configuration register, expected cfgXX with XX a multiple of 4",
                                       "too many cfg registers on one line"};
const RegisterKey CardRegisterKey = {4, EmuCardRegisters * 4, MaxCardRegisters,
                                     "bad card register, expected regXXXX with XXXX a multiple of 4 below 4000",
                                     "too many card registers on one line"};

int AddRegister(const RegisterKey* kind, EmuToken key, EmuToken value, RawRegister* settings, uint32_t* count,
                ParseError* error)
{
    EmuToken offsetText = {key.Text + 3, key.Length - 3};
    uint32_t offset, raw;
    if (!ParseHexField(offsetText, kind->Digits, &offset) || (offset & 3) || offset >= kind->Limit)
        return Fail(error, kind->BadOffset, key);
    if (!EmuParseNumber(value, &raw))
        return Fail(error, "bad register value", value);
    if (*count == kind->Most)
        return Fail(error, kind->TooMany);
    settings[*count].Offset = offset;
    settings[*count].Value = raw;
    ++*count;
    return 1;
}

int ParseConfigKey(EmuToken key, EmuToken value, PciLine* pci, ParseError* error)
{
    return AddRegister(&ConfigRegisterKey, key, value, pci->Raw, &pci->RawCount, error);
}

int ParseCardRegisterKey(EmuToken key, EmuToken value, PciLine* pci, ParseError* error)
{
    return AddRegister(&CardRegisterKey, key, value, pci->CardRegisters, &pci->CardRegisterCount, error);
}

int ParseFlashKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    EmuToken code = value;
    if (code.Length == 6 && code.Text[0] == '0' && (code.Text[1] == 'x' || code.Text[1] == 'X')) {
        code.Text += 2;
        code.Length -= 2;
    }
    pci->Flash = EmuFindFlashModel(code.Text, code.Length);
    if (!pci->Flash)
        return Fail(error, "unknown flash part", value);
    return 1;
}

int ParseImageKey(EmuToken, EmuToken value, PciLine* pci, ParseError* error)
{
    if (value.Length == 0 || value.Length >= EmuPathSize)
        return Fail(error, "bad image file name", value);
    pci->Image = value;
    return 1;
}

// The keys of a pci line; a prefix key (bar, cfg, reg) takes a number after
// its word.
struct PciKey {
    const char* Word;
    int Prefix;
    int (*Parse)(EmuToken key, EmuToken value, PciLine* pci, ParseError* error);
};

const PciKey PciKeys[] = {
    {"id", 0, ParseIdKey},         {"subsys", 0, ParseSubsystemKey}, {"rev", 0, ParseRevisionKey},
    {"class", 0, ParseClassKey},   {"header", 0, ParseHeaderKey},    {"cmd", 0, ParseCommandKey},
    {"status", 0, ParseStatusKey}, {"bar", 1, ParseBarKey},          {"rom", 0, ParseRomKey},
    {"cfg", 1, ParseConfigKey},    {"reg", 1, ParseCardRegisterKey}, {"flash", 0, ParseFlashKey},
    {"image", 0, ParseImageKey},
};

// One key=value (or a bare key) of a pci line.
int ParsePciKey(EmuToken token, PciLine* pci, ParseError* error)
{
    EmuToken key, value;
    if (!EmuTokenSplit(token, '=', &key, &value)) {
        if (EmuTokenIs(token, "agp")) {
            pci->Agp = 1;
            return 1;
        }
        Warn(error->LineNumber, "unknown key ignored:", token);
        return 1;
    }
    for (const PciKey& known : PciKeys) {
        if (known.Prefix ? EmuTokenStartsWith(key, known.Word) : EmuTokenIs(key, known.Word))
            return known.Parse(key, value, pci, error);
    }
    Warn(error->LineNumber, "unknown key ignored:", key);
    return 1;
}

// The capability list of an AGP card: power management at 0x60, then AGP at
// 0x40 (its status register at 0x44 lists the transfer rates).
void AddAgpCapabilities(EmuFunction* function)
{
    function->Config[PciCommand / 4] |= PciStatusCapabilities << 16;
    function->Config[PciCapabilityPointer / 4] = OrvelPowerCapability;
    function->Config[OrvelPowerCapability / 4] = 0x00020000 | OrvelAgpCapability << 8 | PciCapabilityPower;
    function->Config[OrvelAgpCapability / 4] = 0x00200000 | PciCapabilityAgp;  // AGP 2.0, end of list
    function->Config[OrvelAgpStatus / 4] = 0x1F000207;                         // 1x/2x/4x, sideband
    function->Config[OrvelAgpCommand / 4] = 0x00000000;
}

int ApplyPciLine(const PciLine* pci, ParseError* error)
{
    if (!pci->HasId)
        return Fail(error, "pci line without id=");
    if (EmuFindFunction(pci->Bus, pci->Device, pci->Function))
        return Fail(error, "function defined twice");
    if (Machine.FunctionCount == EmuMaxFunctions)
        return Fail(error, "too many functions (at most 64)");
    uint32_t vendorId = pci->Id & 0xFFFF, deviceId = pci->Id >> 16;
    uint32_t family = OrvelCardFamily(vendorId, deviceId);
    if (family == 0 && (pci->Flash || pci->Image.Length || pci->CardRegisterCount))
        return Fail(error, "flash=, image= and reg keys need an Orvel card id");
    if (pci->Image.Length && !pci->Flash)
        return Fail(error, "image= needs flash=");
    if (family != 0 && Machine.CardCount == EmuMaxCards)
        return Fail(error, "too many Orvel cards (at most 16)");

    int index = static_cast<int>(Machine.FunctionCount++);
    EmuFunction* function = &Machine.Functions[index];
    EmuInitFunction(function, pci->Bus, pci->Device, pci->Function);
    uint32_t* config = function->Config;
    config[PciVendorId / 4] = pci->Id;
    uint32_t command = pci->HasCommand ? pci->Command : PciCommandMemory | PciCommandBusMaster;
    config[PciCommand / 4] = command | (pci->Status << 16);
    // The 24-bit class code: class word and programming interface 0.
    uint32_t classCode = pci->HasClass ? pci->ClassCode : (family ? PciClassVga << 8 : 0);
    config[PciRevisionId / 4] = pci->Revision | (classCode << 8);
    config[PciCacheLineSize / 4] = pci->HeaderType << 16;
    uint32_t layout = PciHeaderLayout(pci->HeaderType);
    uint32_t barCount = PciBarCount(layout);
    for (uint32_t bar = 0; bar < 6; ++bar) {
        if (pci->BarSize[bar] == 0)
            continue;
        if (bar >= barCount)
            return Fail(error, "this header type has no such BAR");
        if (bar > 0 && pci->BarSize[bar - 1] &&
            (pci->BarValue[bar - 1] & (PciBarIoSpace | PciBarMemoryType)) == PciBarMemory64)
            return Fail(error, "a BAR cannot follow a 64-bit BAR, which takes two registers");
        config[PciBarOffset(bar) / 4] = pci->BarValue[bar];
        function->BarSize[bar] = pci->BarSize[bar];
    }
    if (pci->HasSubsystem) {
        if (layout != PciLayoutDevice)
            return Fail(error, "subsys= needs header type 0");
        config[PciSubsystemVendorId / 4] = pci->Subsystem;
    }
    uint32_t romSize = pci->HasRom ? pci->RomSize : (family ? 0x20000u : 0);
    if (romSize) {
        if (layout != PciLayoutDevice)
            return Fail(error, "rom= needs header type 0");
        config[PciRomBar / 4] = pci->HasRom ? pci->RomValue : 0;
        function->RomSize = romSize;
    }
    if (pci->Agp)
        AddAgpCapabilities(function);
    for (uint32_t i = 0; i < pci->RawCount; ++i)
        config[pci->Raw[i].Offset / 4] = pci->Raw[i].Value;
    EmuFinishFunction(function);

    if (family != 0) {
        int cardIndex = static_cast<int>(Machine.CardCount++);
        EmuCard* card = &Machine.Cards[cardIndex];
        EmuInitCard(card, index, FindOrvelFamily(family));
        function->CardIndex = static_cast<int8_t>(cardIndex);
        for (uint32_t i = 0; i < pci->CardRegisterCount; ++i)
            EmuCardSetRegisterReadValue(card, pci->CardRegisters[i].Offset, pci->CardRegisters[i].Value);
        EmuChipReset(&card->Chip, pci->Flash);
        for (uint32_t i = 0; i < pci->Image.Length; ++i)
            card->Chip.ImagePath[i] = pci->Image.Text[i];
        card->Chip.ImagePath[pci->Image.Length] = 0;
    }
    return 1;
}

int ParsePci(const EmuToken* tokens, uint32_t count, ParseError* error)
{
    PciLine* pci = &Pending;
    EmuFill(pci, 0, sizeof *pci);
    if (count < 2 || !EmuParseLocation(tokens[1], &pci->Bus, &pci->Device, &pci->Function))
        return Fail(error, "expected B:D.F after pci (bus decimal, device and function hex)",
                    count < 2 ? tokens[0] : tokens[1]);
    for (uint32_t i = 2; i < count; ++i) {
        if (!ParsePciKey(tokens[i], pci, error))
            return 0;
    }
    return ApplyPciLine(pci, error);
}

int ParseCpus(const EmuToken* tokens, uint32_t count, ParseError* error)
{
    uint32_t processors;
    if (count < 2 || !EmuParseDecimal(tokens[1], &processors) || processors < 1 || processors > 32)
        return Fail(error, "expected a processor count of 1 to 32 after cpus");
    uint32_t mask = processors == 32 ? 0xFFFFFFFFu : (1u << processors) - 1;
    for (uint32_t i = 2; i < count; ++i) {
        EmuToken key, value;
        if (EmuTokenSplit(tokens[i], '=', &key, &value) && EmuTokenIs(key, "mask")) {
            if (!EmuParseHex(value, &mask))
                return Fail(error, "bad mask, expected 0xHEX", value);
        } else {
            Warn(error->LineNumber, "unknown key ignored:", tokens[i]);
        }
    }
    Machine.ProcessorCount = processors;
    Machine.ProcessorMask = mask;
    return 1;
}

struct FaultName {
    const char* Word;
    uint32_t Kind;
    int TargetRequired;  // 0 optional, 1 required, -1 none
    int HasValue;
    int HasCount;   // an optional last number
    int AnyTarget;  // the target may be any function, not only a card
};

const FaultName FaultNames[] = {
    {"map-register", EmuFaultMapRegister, 0, 0, 0, 0},
    {"map-rom", EmuFaultMapRom, 0, 0, 0, 0},
    {"cpu-query", EmuFaultCpuQuery, -1, 0, 0, 0},
    {"cpu-thread", EmuFaultCpuThread, -1, 0, 0, 0},
    {"cpu-timeout", EmuFaultCpuTimeout, -1, 0, 0, 0},
    {"cpu-straggler", EmuFaultCpuStraggler, -1, 0, 0, 0},
    {"cpu-linger", EmuFaultCpuLinger, -1, 0, 0, 0},
    {"stuck", EmuFaultStuck, 1, 1, 1, 0},
    {"slow", EmuFaultSlow, 1, 1, 0, 0},
    {"corrupt", EmuFaultCorrupt, 1, 1, 1, 0},
    {"config-ignored", EmuFaultConfigIgnored, 1, 1, 0, 0},
    {"decoding-stuck-on", EmuFaultDecodingStuckOn, 1, 0, 0, 1},
};

int ParseFault(const EmuToken* tokens, uint32_t count, ParseError* error)
{
    if (count < 2)
        return Fail(error, "expected a fault name after fault");
    const FaultName* name = nullptr;
    for (const FaultName& candidate : FaultNames) {
        if (EmuTokenIs(tokens[1], candidate.Word))
            name = &candidate;
    }
    if (!name)
        return Fail(error, "unknown fault", tokens[1]);
    if (Machine.FaultCount == EmuMaxFaults)
        return Fail(error, "too many faults (at most 32)");
    EmuFault fault;
    EmuFill(&fault, 0, sizeof fault);
    fault.Kind = name->Kind;
    uint32_t expected = 2 + (name->TargetRequired == 1 ? 1 : 0) + (name->HasValue ? 1 : 0);
    if (name->TargetRequired == 0 && count == 3)
        expected = 3;
    if (name->HasCount && count == expected + 1)
        expected += 1;
    if (count != expected)
        return Fail(error, "wrong number of arguments for fault", tokens[1]);
    if (count >= 3) {
        if (!EmuParseLocation(tokens[2], &fault.Bus, &fault.Device, &fault.Function))
            return Fail(error, "bad B:D.F", tokens[2]);
        fault.HasTarget = 1;
        const EmuFunction* function = EmuFindFunction(fault.Bus, fault.Device, fault.Function);
        const EmuCard* card = EmuCardOfFunction(function);
        if (name->AnyTarget && !function)
            return Fail(error, "fault names a function not defined above", tokens[2]);
        if (!name->AnyTarget && !card)
            return Fail(error, "fault names a function that is not an Orvel card defined above", tokens[2]);
        if (name->HasValue && name->Kind != EmuFaultConfigIgnored && !card->Chip.Model)
            return Fail(error, "fault names a card without flash=", tokens[2]);
    }
    if (name->HasValue && !EmuParseNumber(tokens[3], &fault.Value))
        return Fail(error, "bad number", tokens[3]);
    if (name->HasCount && count == 5 && (!EmuParseNumber(tokens[4], &fault.Count) || fault.Count == 0))
        return Fail(error, "bad count, expected 1 or more", tokens[4]);
    Machine.Faults[Machine.FaultCount++] = fault;
    return 1;
}

int ParseLine(const char* text, uint32_t length, ParseError* error)
{
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] == '#') {
            length = i;
            break;
        }
    }
    EmuToken tokens[MaxTokens];
    uint32_t count;
    if (!Tokenize(text, length, tokens, &count))
        return Fail(error, "too many words on one line");
    if (count == 0)
        return 1;
    if (EmuTokenIs(tokens[0], "pci"))
        return ParsePci(tokens, count, error);
    if (EmuTokenIs(tokens[0], "cpus"))
        return ParseCpus(tokens, count, error);
    if (EmuTokenIs(tokens[0], "fault"))
        return ParseFault(tokens, count, error);
    return Fail(error, "unknown directive", tokens[0]);
}

}  // namespace

void EmuClearMachine()
{
    EmuFill(&Machine, 0, sizeof Machine);
    Machine.ProcessorCount = 2;
    Machine.ProcessorMask = 3;
    EmuClearChipCommands();
    EmuClearBarProbes();
}

int EmuLoadMachine(const char* text, char* error, uint32_t errorSize)
{
    EmuClearMachine();
    if (error && errorSize > 0)
        error[0] = 0;
    ParseError failure = {error, errorSize, 0};
    const char* line = text;
    while (*line) {
        const char* end = line;
        while (*end && *end != '\n')
            ++end;
        ++failure.LineNumber;
        if (!ParseLine(line, static_cast<uint32_t>(end - line), &failure)) {
            EmuClearMachine();
            return 0;
        }
        line = *end ? end + 1 : end;
    }
    return 1;
}
