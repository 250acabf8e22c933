#include "utf16.h"

#include <stdlib.h>
#include <string.h>

enum { REPLACEMENT = 0xFFFD };

static int is_high_surrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
static int is_low_surrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

static size_t put_utf8(unsigned cp, char *out)
{
    if (cp < 0x80) {
        out[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        out[0] = (char)(0xC0 | (cp >> 6));
        out[1] = (char)(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = (char)(0xE0 | (cp >> 12));
        out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
        out[2] = (char)(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (cp >> 18));
    out[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[3] = (char)(0x80 | (cp & 0x3F));
    return 4;
}

char *snaplark_utf16_to_utf8(const char16_t *text)
{
    if (!text)
        return NULL;
    size_t units = 0;
    while (text[units])
        ++units;
    /* one unit never needs more than three bytes; a pair needs four */
    char *out = malloc(units * 3 + 1);
    if (!out)
        return NULL;
    size_t length = 0;
    for (size_t i = 0; i < units; ++i) {
        unsigned cp = text[i];
        if (is_high_surrogate(cp) && is_low_surrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (is_high_surrogate(cp) || is_low_surrogate(cp)) {
            cp = REPLACEMENT;
        }
        length += put_utf8(cp, out + length);
    }
    out[length] = '\0';
    return out;
}

/* Decodes one code point and advances *text; malformed input yields U+FFFD
 * and consumes one byte. */
static unsigned next_code_point(const unsigned char **text)
{
    const unsigned char *s = *text;
    unsigned cp;
    int extra;
    unsigned minimum;
    if (s[0] < 0x80) {
        *text = s + 1;
        return s[0];
    } else if ((s[0] & 0xE0) == 0xC0) {
        cp = s[0] & 0x1F;
        extra = 1;
        minimum = 0x80;
    } else if ((s[0] & 0xF0) == 0xE0) {
        cp = s[0] & 0x0F;
        extra = 2;
        minimum = 0x800;
    } else if ((s[0] & 0xF8) == 0xF0) {
        cp = s[0] & 0x07;
        extra = 3;
        minimum = 0x10000;
    } else {
        *text = s + 1;
        return REPLACEMENT;
    }
    for (int i = 1; i <= extra; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            *text = s + 1;
            return REPLACEMENT;
        }
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    *text = s + 1 + extra;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return REPLACEMENT;
    return cp;
}

void snaplark_utf8_to_utf16(const char *text, char16_t *buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return;
    int length = 0;
    const unsigned char *s = (const unsigned char *)(text ? text : "");
    while (*s) {
        unsigned cp = next_code_point(&s);
        if (cp >= 0x10000) {
            if (length + 2 > capacity - 1)
                break;
            cp -= 0x10000;
            buffer[length++] = (char16_t)(0xD800 + (cp >> 10));
            buffer[length++] = (char16_t)(0xDC00 + (cp & 0x3FF));
        } else {
            if (length + 1 > capacity - 1)
                break;
            buffer[length++] = (char16_t)cp;
        }
    }
    buffer[length] = 0;
}
