/* Conversions between the UTF-16 text of the library interface and the UTF-8
 * text of X11 properties. */
#ifndef SNAPLARK_UTF16_H
#define SNAPLARK_UTF16_H

#include <uchar.h>

/* A malloc'd UTF-8 copy of NUL-terminated UTF-16 text (unpaired surrogates
 * become U+FFFD); NULL for NULL text or when memory runs out. */
char *snaplark_utf16_to_utf8(const char16_t *text);

/* Copies UTF-8 text into the buffer as NUL-terminated UTF-16, at most
 * capacity - 1 units, never splitting a surrogate pair; malformed bytes become
 * U+FFFD.  Does nothing without a buffer or room for the NUL. */
void snaplark_utf8_to_utf16(const char *text, char16_t *buffer, int capacity);

#endif
