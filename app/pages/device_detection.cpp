#include "device_detection.h"

#include "bios_table.h"
#include "byte_routines.h"
#include "command_line.h"
#include "format_text.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_state.h"
#include "wizard_host.h"

namespace {

PELMIX_ROM_TRANSFER InfoRead;  // More info's read, apart from the session's card image

void TellNoDevices(void* owner)
{
    TellUser(owner, TextNoDevices, BoxOk | BoxIconInformation);
}

}  // namespace

DetectResult DetectDevices(const WizardHost& host, void* owner)
{
    PELMIX_DEVICE_LIST& list = TheWizard.DeviceList;
    uint32_t returned = 0;
    if (!host.Request(IOCTL_PELMIX_ENUM_DEVICES, &list, sizeof list, &returned)) {
        TellNoDevices(owner);
        return DetectEndRun;
    }
    if (list.Status != 0) {
        FormatArg status = FormatArg(long(list.Status));
        TellUser(owner, TextNoDevicesErr, BoxOk | BoxIconInformation, &status);
        return DetectEndRun;
    }
    if (list.Count > PELMIX_MAX_DEVICES)
        list.Count = PELMIX_MAX_DEVICES;  // never index past the entries
    if (OptionFlags.ForceDevList)
        return DetectShowPage;
    if (list.Count == 0) {
        TellNoDevices(owner);
        return DetectEndRun;
    }
    if (list.Count == 1) {
        TheWizard.SelectedDevice = 0;
        return DetectOneCard;
    }
    return DetectShowPage;
}

void ReadCardVersion(const WizardHost& host, int32_t index, char* text)
{
    if (index < 0 || uint32_t(index) >= TheWizard.DeviceList.Count || index >= int32_t(PELMIX_MAX_DEVICES))
        return;
    const PELMIX_DEVICE_ENTRY& entry = TheWizard.DeviceList.Entries[index];
    InfoRead.Header.Status = 0;
    InfoRead.Header.Bus = entry.Bus;
    InfoRead.Header.Device = entry.Device;
    InfoRead.Header.Function = entry.Function;
    FillBytes(InfoRead.Data, 0, sizeof InfoRead.Data);
    uint32_t returned = 0;
    if (!host.Request(IOCTL_PELMIX_READ_ROM, &InfoRead, sizeof InfoRead, &returned) || InfoRead.Header.Status != 0)
        return;
    CardVersionOfImage(InfoRead.Data, text);
}

void CardVersionOfImage(const uint8_t* image, char* text)
{
    BiosTable table;
    if (!ReadBiosTable(image, &table))
        return;
    char version[VersionTextSize];
    if (TableVersionText(&table, version, sizeof version) < VersionTextSize - 1)
        CopyText(text, VersionTextSize, version);
    else
        LookupText(TextUnknownVersion, text, VersionTextSize);
}
