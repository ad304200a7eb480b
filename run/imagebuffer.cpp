// imagebuffer.cpp - the one image buffer of a run, grown but never shrunk
#include "run/imagebuffer.h"

#include <cstdlib>

unsigned char* ImageBuffer;
uint32_t ImageBufferCapacity;

int AllocateImageBuffer()
{
    free(ImageBuffer);
    ImageBuffer = (unsigned char*)malloc(ImageBufferInitialCapacity + ImageBufferSlack);
    ImageBufferCapacity = ImageBuffer != nullptr ? ImageBufferInitialCapacity : 0;
    return ImageBuffer != nullptr;
}

int GrowImageBuffer(uint32_t size)
{
    if (ImageBuffer != nullptr && size <= ImageBufferCapacity)
        return 1;
    free(ImageBuffer);
    ImageBuffer = (unsigned char*)malloc((size_t)size + ImageBufferSlack);
    ImageBufferCapacity = ImageBuffer != nullptr ? size : 0;
    return ImageBuffer != nullptr;
}

void FreeImageBuffer()
{
    free(ImageBuffer);
    ImageBuffer = nullptr;
    ImageBufferCapacity = 0;
}
