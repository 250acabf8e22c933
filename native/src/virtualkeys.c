#include "virtualkeys.h"

#include <X11/keysym.h>
#include <stddef.h>

typedef struct {
    KeySym keysym;
    unsigned code;
    /* a lock key toggles a state: the hooks leave it out, as they do the
     * modifiers, but it can still be a hotkey */
    int lock;
} KeyMapping;

/* The first entry of a code is the key a hotkey with that code is grabbed
 * on; the keypad keys without Num Lock mean what their Windows counterparts
 * mean.  The punctuation codes are those of a US keyboard's keys. */
static const KeyMapping named_keys[] = {
    {XK_BackSpace, 0x08, 0},    {XK_Tab, 0x09, 0},          {XK_ISO_Left_Tab, 0x09, 0},
    {XK_Return, 0x0D, 0},       {XK_KP_Enter, 0x0D, 0},     {XK_Pause, 0x13, 0},
    {XK_Caps_Lock, 0x14, 1},    {XK_Escape, 0x1B, 0},       {XK_space, 0x20, 0},
    {XK_KP_Space, 0x20, 0},     {XK_Prior, 0x21, 0},        {XK_KP_Prior, 0x21, 0},
    {XK_Next, 0x22, 0},         {XK_KP_Next, 0x22, 0},      {XK_End, 0x23, 0},
    {XK_KP_End, 0x23, 0},       {XK_Home, 0x24, 0},         {XK_KP_Home, 0x24, 0},
    {XK_Left, 0x25, 0},         {XK_KP_Left, 0x25, 0},      {XK_Up, 0x26, 0},
    {XK_KP_Up, 0x26, 0},        {XK_Right, 0x27, 0},        {XK_KP_Right, 0x27, 0},
    {XK_Down, 0x28, 0},         {XK_KP_Down, 0x28, 0},      {XK_Print, 0x2C, 0},
    {XK_Insert, 0x2D, 0},       {XK_KP_Insert, 0x2D, 0},    {XK_Delete, 0x2E, 0},
    {XK_KP_Delete, 0x2E, 0},    {XK_Num_Lock, 0x90, 1},     {XK_Scroll_Lock, 0x91, 1},
    {XK_semicolon, 0xBA, 0},    {XK_equal, 0xBB, 0},        {XK_comma, 0xBC, 0},
    {XK_minus, 0xBD, 0},        {XK_period, 0xBE, 0},       {XK_slash, 0xBF, 0},
    {XK_grave, 0xC0, 0},        {XK_bracketleft, 0xDB, 0},  {XK_backslash, 0xDC, 0},
    {XK_bracketright, 0xDD, 0}, {XK_apostrophe, 0xDE, 0},
};
enum { NAMED_KEY_COUNT = sizeof named_keys / sizeof named_keys[0] };

unsigned virtual_key_of(KeySym keysym)
{
    if (keysym >= XK_a && keysym <= XK_z)
        return 0x41 + (unsigned)(keysym - XK_a);
    if (keysym >= XK_A && keysym <= XK_Z)
        return 0x41 + (unsigned)(keysym - XK_A);
    if (keysym >= XK_0 && keysym <= XK_9)
        return 0x30 + (unsigned)(keysym - XK_0);
    /* F1 to F24 are consecutive in both code sets */
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return 0x70 + (unsigned)(keysym - XK_F1);
    for (size_t i = 0; i < NAMED_KEY_COUNT; ++i) {
        if (named_keys[i].keysym == keysym)
            return named_keys[i].lock ? 0 : named_keys[i].code;
    }
    return 0;
}

unsigned long snaplark_keysym_of_virtual_key(unsigned code)
{
    /* the unshifted keysym, as the keyboard map lists it first */
    if (code >= 0x41 && code <= 0x5A)
        return XK_a + (code - 0x41);
    if (code >= 0x30 && code <= 0x39)
        return XK_0 + (code - 0x30);
    if (code >= 0x70 && code <= 0x87)
        return XK_F1 + (code - 0x70);
    for (size_t i = 0; i < NAMED_KEY_COUNT; ++i) {
        if (named_keys[i].code == code)
            return named_keys[i].keysym;
    }
    return NoSymbol;
}
