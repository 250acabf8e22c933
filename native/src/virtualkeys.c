#include "virtualkeys.h"

#include <X11/keysym.h>
#include <stddef.h>

typedef struct {
    KeySym keysym;
    unsigned code;
} KeyMapping;

/* The keypad keys without Num Lock mean what their Windows counterparts mean. */
static const KeyMapping named_keys[] = {
    {XK_BackSpace, 0x08}, {XK_Tab, 0x09},       {XK_ISO_Left_Tab, 0x09}, {XK_Return, 0x0D},
    {XK_KP_Enter, 0x0D},  {XK_Escape, 0x1B},    {XK_space, 0x20},        {XK_KP_Space, 0x20},
    {XK_Prior, 0x21},     {XK_KP_Prior, 0x21},  {XK_Next, 0x22},         {XK_KP_Next, 0x22},
    {XK_End, 0x23},       {XK_KP_End, 0x23},    {XK_Home, 0x24},         {XK_KP_Home, 0x24},
    {XK_Left, 0x25},      {XK_KP_Left, 0x25},   {XK_Up, 0x26},           {XK_KP_Up, 0x26},
    {XK_Right, 0x27},     {XK_KP_Right, 0x27},  {XK_Down, 0x28},         {XK_KP_Down, 0x28},
    {XK_Insert, 0x2D},    {XK_KP_Insert, 0x2D}, {XK_Delete, 0x2E},       {XK_KP_Delete, 0x2E},
};

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
    for (size_t i = 0; i < sizeof named_keys / sizeof named_keys[0]; ++i) {
        if (named_keys[i].keysym == keysym)
            return named_keys[i].code;
    }
    return 0;
}
