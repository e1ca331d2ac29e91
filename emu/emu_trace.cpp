// Warning and trace sinks, the chip command log and the virtual clock.
#include "emu_text.h"
#include "machine_state.h"

namespace {

EmuLineSink WarningSink;
void* WarningContext;
EmuLineSink TraceSink;
void* TraceContext;

uint64_t VirtualNowUs;

enum { CommandLogCapacity = 4096, CommandKinds = 8 };
EmuChipCommand CommandLog[CommandLogCapacity];
uint32_t CommandLogNext;  // slot of the next entry
uint32_t CommandLogKept;
uint32_t CommandTotals[CommandKinds];

const char* CommandName(uint32_t kind)
{
    switch (kind) {
    case EmuCommandIdentify: return "identify";
    case EmuCommandExit: return "exit";
    case EmuCommandReset: return "reset";
    case EmuCommandProgram: return "program";
    case EmuCommandPage: return "page";
    case EmuCommandChipErase: return "chip-erase";
    case EmuCommandSectorErase: return "sector-erase";
    default: return "?";
    }
}

void TraceCommand(const EmuChipCommand& command)
{
    char text[128];
    EmuLine line;
    EmuLineStart(&line, text, sizeof text);
    EmuLineText(&line, "chip ");
    EmuLineLocation(&line, command.Bus, command.Device, command.Function);
    EmuLineText(&line, " ");
    EmuLineText(&line, CommandName(command.Kind));
    if (command.Kind != EmuCommandReset) {
        EmuLineText(&line, " via 0x");
        EmuLineHex(&line, command.Address1, 4);
        EmuLineText(&line, "/0x");
        EmuLineHex(&line, command.Address2, 4);
    }
    switch (command.Kind) {
    case EmuCommandProgram:
        EmuLineText(&line, " byte 0x");
        EmuLineHex(&line, command.Offset, 5);
        EmuLineText(&line, " = 0x");
        EmuLineHex(&line, command.Value, 2);
        break;
    case EmuCommandPage:
        EmuLineText(&line, " at 0x");
        EmuLineHex(&line, command.Offset, 5);
        EmuLineText(&line, ", ");
        EmuLineDecimal(&line, command.Value);
        EmuLineText(&line, " bytes loaded");
        break;
    case EmuCommandSectorErase:
    case EmuCommandReset:
        EmuLineText(&line, " at 0x");
        EmuLineHex(&line, command.Offset, 5);
        break;
    default: break;
    }
    EmuLineText(&line, " (t=");
    EmuLineDecimal(&line, command.AtUs);
    EmuLineText(&line, " us)");
    EmuEmitTrace(text);
}

}  // namespace

void EmuSetWarningSink(EmuLineSink sink, void* context)
{
    WarningSink = sink;
    WarningContext = context;
}

void EmuSetTraceSink(EmuLineSink sink, void* context)
{
    TraceSink = sink;
    TraceContext = context;
}

void EmuEmitWarning(const char* line)
{
    if (WarningSink)
        WarningSink(line, WarningContext);
}

int EmuTraceWanted()
{
    return TraceSink != nullptr;
}

void EmuEmitTrace(const char* line)
{
    if (TraceSink)
        TraceSink(line, TraceContext);
}

void EmuLogChipCommand(const EmuCard* card, uint32_t kind, uint32_t address1, uint32_t address2, uint32_t offset,
                       uint32_t value)
{
    const EmuFunction* function = &Machine.Functions[card->FunctionIndex];
    EmuChipCommand& command = CommandLog[CommandLogNext];
    command.Kind = kind;
    command.Bus = function->Bus;
    command.Device = function->Device;
    command.Function = function->Function;
    command.Address1 = address1;
    command.Address2 = address2;
    command.Offset = offset;
    command.Value = value;
    command.AtUs = VirtualNowUs;
    CommandLogNext = (CommandLogNext + 1) % CommandLogCapacity;
    if (CommandLogKept < CommandLogCapacity)
        ++CommandLogKept;
    if (kind < CommandKinds)
        ++CommandTotals[kind];
    if (TraceSink)
        TraceCommand(command);
}

uint32_t EmuChipCommandCount()
{
    return CommandLogKept;
}

int EmuChipCommandAt(uint32_t index, EmuChipCommand* command)
{
    if (index >= CommandLogKept)
        return 0;
    uint32_t oldest = (CommandLogNext + CommandLogCapacity - CommandLogKept) % CommandLogCapacity;
    *command = CommandLog[(oldest + index) % CommandLogCapacity];
    return 1;
}

uint32_t EmuChipCommandTotal(uint32_t kind)
{
    return kind < CommandKinds ? CommandTotals[kind] : 0;
}

void EmuClearChipCommands()
{
    CommandLogNext = 0;
    CommandLogKept = 0;
    for (uint32_t& total : CommandTotals)
        total = 0;
}

uint64_t EmuNowUs()
{
    return VirtualNowUs;
}

void EmuAdvanceUs(uint64_t microseconds)
{
    VirtualNowUs += microseconds;
}
