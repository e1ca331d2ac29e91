// The model NT kernel: loads a driver image, runs pelmixctl's request
// commands through it on an emulated machine, and stops with a bugcheck
// line when the driver breaks one of the kernel's rules.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "host_platform.h"
#include "model_kernel.h"
#include "model_routines.h"
#include "pci_machine.h"
#include "pe_loader.h"
#include "request_runner.h"
#include "security_check.h"
#include "thread_segment.h"

namespace {

const char ModelUsage[] =
    "usage: nt-model [--nt 4.0|5.0|5.1] [--cpus N] [--json] [--caller admin|user|interactive] [--open-below NAME]\n"
    "                [--linger-ms MS] [--busy-priority P] [--suspend-caller] [--caller-affinity MASK]\n"
    "                [--affinity-change MASK]\n"
    "                DRIVER.sys MACHINE COMMAND...\n"
    "  COMMAND: pelmixctl's request commands (enum, identify T, read-rom T FILE, ..., raw)\n"
    "  --caller: who opens the device (default admin, an administrator at the console;\n"
    "  interactive: a user at the console; user: the user's program run as a batch job);\n"
    "  --open-below: open the name below the\n"
    "  device, as \"\\\\.\\PELMIX\" followed by NAME (\"\\x\") does; --linger-ms: machine time a\n"
    "  released holding thread takes to leave; --busy-priority: every processor but the first\n"
    "  runs other work at priority P; --suspend-caller: the caller's thread is suspended in\n"
    "  its first wait of a processor hold (held back by a critical region); --caller-affinity:\n"
    "  the processors the caller's process may use (bit N: processor N; its thread starts on\n"
    "  the first of them); --affinity-change: the caller's process affinity becomes MASK while\n"
    "  the caller waits for its first processor hold's threads, as a user's set affinity does\n"
    "  exit 0: every command ran and the driver unloaded clean; 1: usage, unusable input, or the\n"
    "  device cannot be opened;\n"
    "  3: the load was refused or DriverEntry failed; 4: a kernel rule was broken (the BUGCHECK line)\n";

CommandLine Line;

[[noreturn]] void Usage(const char* text)
{
    if (text)
        fprintf(stderr, "nt-model: %s\n", text);
    fputs(ModelUsage, stderr);
    exit(1);
}

[[noreturn]] void Finish(int code)
{
    fflush(stdout);
    fflush(stderr);
    _exit(code);
}

void PrintWarning(const char* line, void*)
{
    fprintf(stderr, "nt-model: machine file %s\n", line);
}

// A decimal option value within its range; otherwise the usage text.
long NumberOption(const char* value, long least, long most, const char* usage)
{
    char* end;
    long number = strtol(value, &end, 10);
    if (*end || number < least || number > most)
        Usage(usage);
    return number;
}

}  // namespace

int main(int argc, char** argv)
{
    int json = 0;
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; ++at) {
        std::string option = argv[at];
        const char* value = at + 1 < argc ? argv[at + 1] : nullptr;
        if (option == "--json") {
            json = 1;
        } else if (option == "--help") {
            fputs(ModelUsage, stdout);
            return 0;
        } else if (option == "--nt" && value) {
            std::string version = value;
            if (version == "4.0")
                Settings.Version = Nt40;
            else if (version == "5.0")
                Settings.Version = Nt50;
            else if (version == "5.1")
                Settings.Version = Nt51;
            else
                Usage("--nt takes 4.0, 5.0 or 5.1");
            ++at;
        } else if (option == "--cpus" && value) {
            Settings.CpuCount = static_cast<int>(NumberOption(value, 1, 32, "--cpus takes 1 to 32"));
            ++at;
        } else if (option == "--caller" && value) {
            int caller = CallerKindNamed(value);
            if (caller < 0)
                Usage("--caller takes admin, user or interactive");
            Settings.Caller = caller;
            ++at;
        } else if (option == "--linger-ms" && value) {
            Settings.LingerMs = static_cast<uint32_t>(NumberOption(value, 0, 600000, "--linger-ms takes 0 to 600000"));
            ++at;
        } else if (option == "--busy-priority" && value) {
            Settings.BusyPriority = static_cast<int32_t>(NumberOption(value, 1, 31, "--busy-priority takes 1 to 31"));
            ++at;
        } else if (option == "--caller-affinity" && value) {
            char* end;
            unsigned long mask = strtoul(value, &end, 0);
            if (*end || mask == 0 || mask > 0xFFFFFFFFul)
                Usage("--caller-affinity takes a non-empty processor mask (0x1 to 0xFFFFFFFF)");
            Settings.CallerAffinity = static_cast<uint32_t>(mask);
            ++at;
        } else if (option == "--affinity-change" && value) {
            char* end;
            unsigned long mask = strtoul(value, &end, 0);
            if (*end || mask == 0 || mask > 0xFFFFFFFFul)
                Usage("--affinity-change takes a non-empty processor mask (0x1 to 0xFFFFFFFF)");
            Settings.AffinityChange = static_cast<uint32_t>(mask);
            ++at;
        } else if (option == "--suspend-caller") {
            Settings.SuspendCaller = 1;
        } else if (option == "--open-below" && value) {
            Settings.OpenBelow = value;
            ++at;
        } else {
            Usage(("unknown option " + option).c_str());
        }
    }
    if (argc - at < 3)
        Usage("a driver, a machine file and at least one command are needed");
    const char* driverPath = argv[at];
    const char* machinePath = argv[at + 1];

    std::vector<char*> arguments = {argv[0], const_cast<char*>("--machine"), const_cast<char*>(machinePath)};
    if (json)
        arguments.push_back(const_cast<char*>("--json"));
    for (int i = at + 2; i < argc; ++i)
        arguments.push_back(argv[i]);
    char error[512] = {};
    if (!ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), &Line, error, sizeof error))
        Usage(error);
    if (Line.User.Kind != UserNone || Line.Help || Line.Version || Line.Trace)
        Usage("the model runs pelmixctl's request commands only");

    EmuSetWarningSink(PrintWarning, nullptr);
    if (!HostLoadMachineFile(machinePath, error, sizeof error)) {
        fprintf(stderr, "nt-model: %s\n", error);
        return 1;
    }
    int processors = Settings.CpuCount ? Settings.CpuCount : static_cast<int>(EmuProcessorCount());
    uint32_t mask = Settings.CpuCount ? (Settings.CpuCount == 32 ? 0xFFFFFFFFu : (1u << Settings.CpuCount) - 1)
                                      : EmuProcessorMask();
    if (processors < 1)
        processors = 1;
    uint32_t modelMask = processors >= 32 ? 0xFFFFFFFFu : (1u << processors) - 1;
    if (Settings.CallerAffinity & ~modelMask)
        Usage("--caller-affinity names a processor the machine does not have");
    if (Settings.AffinityChange & ~modelMask)
        Usage("--affinity-change names a processor the machine does not have");
    ThreadSegmentNoteGlobal();
    SchedulerStart(processors, mask ? mask : 1);
    InstallFaultHandler();
    HalMachineLoaded();
    if (!LoadDriverImage(driverPath, error, sizeof error)) {
        printf("LOAD REFUSED: %s\n", error);
        Finish(3);
    }
    SchedulerStartWatcher();
    int result = RunCommands(&Line);
    // Every command ran (the lines carry each request's status) or the input was unusable.
    Finish(result == 2 ? 1 : 0);
}
