#include "banner_colour.h"

#include <ctype.h>

namespace {

struct NamedColour {
    const char* name;
    BannerRgb colour;
};

const NamedColour Colours[] = {
    {"yellow", {255, 255, 0}},
    {"green", {0, 255, 0}},
    {"red", {255, 0, 0}},
    {"blue", {180, 180, 255}},
};

int SameIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b))
            return 0;
    return *a == *b;
}

}  // namespace

BannerRgb BannerColourFor(const char* name)
{
    if (name)
        for (const NamedColour& c : Colours)
            if (SameIgnoringCase(name, c.name))
                return c.colour;
    BannerRgb white = {255, 255, 255};
    return white;
}
