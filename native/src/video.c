#include "snaplarkextension.h"
#include "utf16.h"

void GetVideoFileExtension(char16_t *buffer, int capacity)
{
    snaplark_utf8_to_utf16("mp4", buffer, capacity);
}
