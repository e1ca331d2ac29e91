// The banner's foreground colour from the "FontColour" setting.
#ifndef DORVANE_BANNER_COLOUR_H
#define DORVANE_BANNER_COLOUR_H

#include <stdint.h>

struct BannerRgb {
    uint8_t Red, Green, Blue;
};

// Named colour in any case; white for anything else or no name (null).
BannerRgb BannerColourFor(const char* name);

#endif
