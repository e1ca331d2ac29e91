/* Asking the driver for the supported cards, and reading one card's BIOS
   version text for the device page's More info. */
#ifndef DORVANE_DEVICE_DETECTION_H
#define DORVANE_DEVICE_DETECTION_H

#include <stdint.h>

enum DetectResult {
    DetectEndRun,   /* the user has been told; the run ends */
    DetectOneCard,  /* the only card is chosen: on to the backup page */
    DetectShowPage, /* the device page lets the user choose */
};

enum { VersionTextSize = 260 };

struct WizardHost;

/* Fills DeviceList through host; with one card (and no ForceDevList)
   selects it. What ends the run is told through TellUser. */
DetectResult DetectDevices(const WizardHost& host, void* owner);

/* Reads card index's ROM through host and puts its version text into text
   (260 bytes, emptied by the caller); text stays empty when the read or the
   table fails. */
void ReadCardVersion(const WizardHost& host, int32_t index, char* text);

/* The version text More info shows for a card's image (BiosImageBufferSize
   bytes) into text (260 bytes, emptied by the caller): the table's, or
   "UnknownVersion" for one too long; text stays empty when the table
   cannot be read. */
void CardVersionOfImage(const uint8_t* image, char* text);

#endif
