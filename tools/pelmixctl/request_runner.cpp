#include "request_runner.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "pelmix_ioctl.h"
#include "reply_format.h"
#include "request_transport.h"

namespace {

enum { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitNoDriver = 4 };

// A reply carries a Status only if it reaches past the field that opens
// every record.
const uint32_t StatusEnd = offsetof(PELMIX_REQUEST_HEADER, Status) + sizeof(uint32_t);

struct Request {
    uint32_t Code;
    std::vector<uint8_t> Buffer;
    uint32_t InLength;
    uint32_t OutLength;
};

void PutField(std::vector<uint8_t>& buffer, uint32_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        buffer[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutTarget(std::vector<uint8_t>& buffer, const Command& command)
{
    PutField(buffer, offsetof(PELMIX_REQUEST_HEADER, Bus), command.Bus);
    PutField(buffer, offsetof(PELMIX_REQUEST_HEADER, Device), command.Device);
    PutField(buffer, offsetof(PELMIX_REQUEST_HEADER, Function), command.Function);
}

// The whole file, refused if it is larger than limit.
int ReadInput(const char* path, uint32_t limit, std::vector<uint8_t>* data)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "pelmixctl: cannot open %s\n", path);
        return 0;
    }
    data->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        data->insert(data->end(), chunk, chunk + got);
        if (data->size() > limit) {
            fclose(file);
            fprintf(stderr, "pelmixctl: %s is larger than %u bytes\n", path, limit);
            return 0;
        }
    }
    fclose(file);
    return 1;
}

int WriteOutput(const char* path, const uint8_t* data, uint32_t size)
{
    FILE* file = fopen(path, "wb");
    if (!file)
        return 0;
    size_t written = fwrite(data, 1, size, file);
    return (fclose(file) == 0) && written == size;
}

void Shape(Request* request, uint32_t code, uint32_t length)
{
    request->Code = code;
    request->Buffer.assign(length, 0);
    request->InLength = length;
    request->OutLength = length;
}

// Builds the record of one command; 0 when an input file is unusable.
int BuildRequest(const Command& command, Request* request)
{
    std::vector<uint8_t> data;
    switch (command.Kind) {
    case CommandEnum: Shape(request, IOCTL_PELMIX_ENUM_DEVICES, sizeof(PELMIX_DEVICE_LIST)); return 1;
    case CommandIdentify: Shape(request, IOCTL_PELMIX_IDENTIFY_CHIP, sizeof(PELMIX_CHIP_INFO)); break;
    case CommandErase: Shape(request, IOCTL_PELMIX_ERASE_CHIP, sizeof(PELMIX_REQUEST_HEADER)); break;
    case CommandReadRom: Shape(request, IOCTL_PELMIX_READ_ROM, sizeof(PELMIX_ROM_TRANSFER)); break;
    case CommandWriteRom:
    case CommandWriteRomPreerased:
        if (!ReadInput(command.File, PELMIX_ROM_DATA_SIZE, &data))
            return 0;
        Shape(request, command.Kind == CommandWriteRom ? IOCTL_PELMIX_WRITE_ROM : IOCTL_PELMIX_WRITE_ROM_PREERASED,
              sizeof(PELMIX_ROM_TRANSFER));
        // A shorter image leaves the rest of the chip erased.
        memset(request->Buffer.data() + offsetof(PELMIX_ROM_TRANSFER, Data), 0xFF, PELMIX_ROM_DATA_SIZE);
        if (!data.empty())
            memcpy(request->Buffer.data() + offsetof(PELMIX_ROM_TRANSFER, Data), data.data(), data.size());
        break;
    case CommandReadPages:
        Shape(request, IOCTL_PELMIX_READ_PAGES, PELMIX_PAGE_BUFFER_LENGTH(command.Count));
        PutField(request->Buffer, offsetof(PELMIX_PAGE_TRANSFER, StartOffset), command.Start);
        PutField(request->Buffer, offsetof(PELMIX_PAGE_TRANSFER, PageCount), command.Count);
        break;
    case CommandWritePages:
    case CommandWritePagesPreerased: {
        if (!ReadInput(command.File, MaxBufferLength - PELMIX_PAGE_BUFFER_LENGTH(0), &data))
            return 0;
        if (data.size() % PELMIX_PAGE_SIZE != 0) {
            fprintf(stderr, "pelmixctl: %s is not a whole number of 128-byte pages\n", command.File);
            return 0;
        }
        uint32_t pages = static_cast<uint32_t>(data.size() / PELMIX_PAGE_SIZE);
        Shape(request,
              command.Kind == CommandWritePages ? IOCTL_PELMIX_WRITE_PAGES : IOCTL_PELMIX_WRITE_PAGES_PREERASED,
              PELMIX_PAGE_BUFFER_LENGTH(pages));
        PutField(request->Buffer, offsetof(PELMIX_PAGE_TRANSFER, StartOffset), command.Start);
        PutField(request->Buffer, offsetof(PELMIX_PAGE_TRANSFER, PageCount), pages);
        if (!data.empty())
            memcpy(request->Buffer.data() + offsetof(PELMIX_PAGE_TRANSFER, Data), data.data(), data.size());
        break;
    }
    case CommandRaw: {
        uint32_t size = command.InLength > command.OutLength ? command.InLength : command.OutLength;
        request->Code = command.Code;
        request->Buffer.assign(size ? size : 1, 0);
        request->InLength = command.InLength;
        request->OutLength = command.OutLength;
        uint32_t count = 0;
        if (command.Hex)
            ParseHexBytes(command.Hex, request->Buffer.data(), size, &count);
        return 1;
    }
    default: return 0;
    }
    PutField(request->Buffer, offsetof(PELMIX_REQUEST_HEADER, Status), 0xFFFFFFFFu);  // the driver's to write
    PutTarget(request->Buffer, command);
    return 1;
}

// Saves the data part of a read reply; returns the bytes saved, -1 on failure.
long SaveReply(const Command& command, const uint8_t* reply, uint32_t length)
{
    uint32_t dataOffset;
    if (command.Kind == CommandReadRom)
        dataOffset = offsetof(PELMIX_ROM_TRANSFER, Data);
    else if (command.Kind == CommandReadPages)
        dataOffset = offsetof(PELMIX_PAGE_TRANSFER, Data);
    else
        return 0;
    if (length < StatusEnd || reply[0] | reply[1] | reply[2] | reply[3])
        return 0;  // failed request: nothing to save
    uint32_t bytes = command.Kind == CommandReadPages ? command.Count * PELMIX_PAGE_SIZE
                                                      : (length > dataOffset ? length - dataOffset : 0);
    if (dataOffset + bytes > length)
        bytes = length > dataOffset ? length - dataOffset : 0;
    if (!WriteOutput(command.File, reply + dataOffset, bytes))
        return -1;
    return bytes;
}

// A reply counts only with a Status of 0: a request the driver refused
// (no card list, a chip that did not take a byte) changed nothing it should
// have, whatever the system status says.
int DriverSucceeded(const RequestOutcome& outcome)
{
    const char* name = RequestName(outcome.Kind);
    if (outcome.ReplyLength < StatusEnd) {
        fprintf(stderr, "pelmixctl: %s: no Status came back\n", name);
        return 0;
    }
    const uint8_t* p = outcome.Reply;
    uint32_t status = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
    if (status == PELMIX_RESULT_OK)
        return 1;
    fprintf(stderr, "pelmixctl: %s: Status %u, %s\n", name, status, DriverResultText(outcome.Kind, status));
    return 0;
}

}  // namespace

int RunCommands(const CommandLine* line)
{
    TransportSettings settings = {line->MachinePath, line->Trace};
    char error[512] = {};
    int opened = TransportOpen(&settings, error, sizeof error);
    if (opened != TransportOpened) {
        fprintf(stderr, "pelmixctl: %s\n", error);
        return opened == TransportDriverFailed ? ExitNoDriver : ExitUsage;
    }
    int exitCode = ExitOk;
    for (uint32_t i = 0; i < line->CommandCount; ++i) {
        const Command& command = line->Commands[i];
        Request request;
        if (!BuildRequest(command, &request)) {
            TransportClose();
            return ExitUsage;
        }
        RequestOutcome outcome = {};
        outcome.Kind = command.Kind;
        outcome.Code = request.Code;
        error[0] = 0;
        int delivered =
            TransportSend(request.Code, request.Buffer.data(), request.InLength, request.OutLength,
                          &outcome.SystemStatus, &outcome.Information, &outcome.Timing, error, sizeof error);
        outcome.Reply = request.Buffer.data();
        outcome.ReplyLength = outcome.Information < request.OutLength ? outcome.Information : request.OutLength;
        if (outcome.SystemStatus == 0) {
            long saved = SaveReply(command, outcome.Reply, outcome.ReplyLength);
            if (saved < 0) {
                fprintf(stderr, "pelmixctl: cannot write %s\n", command.File);
                exitCode = ExitFailed;
            } else if (command.Kind == CommandReadRom || command.Kind == CommandReadPages) {
                if (saved > 0 ||
                    (command.Kind == CommandReadPages && outcome.ReplyLength >= StatusEnd && outcome.Reply[0] == 0)) {
                    outcome.File = command.File;
                    outcome.FileBytes = static_cast<uint32_t>(saved);
                }
            }
        }
        std::string text = line->Json ? FormatJson(outcome) : FormatText(outcome);
        printf("%s\n", text.c_str());
        fflush(stdout);
        if (!delivered) {
            fprintf(stderr, "pelmixctl: %s\n", error);
            exitCode = ExitFailed;
        }
        if (outcome.SystemStatus != 0) {
            fprintf(stderr, "pelmixctl: %s: the call failed with NTSTATUS %s\n", RequestName(outcome.Kind),
                    SystemStatusText(outcome.SystemStatus).c_str());
            exitCode = ExitFailed;
        } else if (delivered && !DriverSucceeded(outcome)) {
            exitCode = ExitFailed;
        }
    }
    TransportClose();
    return exitCode;
}
