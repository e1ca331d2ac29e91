#include "inbuilt_image.h"

int InBuiltImagePresent()
{
    return InBuiltImage.Presence == 1;
}

const uint8_t* InBuiltImageData()
{
    return InBuiltImage.Image;
}

uint32_t InBuiltImageSize()
{
    return BiosImageBufferSize;
}
