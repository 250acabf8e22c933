/* Windows virtual-key codes for X keysyms, as the hook messages carry them. */
#ifndef SNAPLARK_VIRTUALKEYS_H
#define SNAPLARK_VIRTUALKEYS_H

#include <X11/X.h>

/* The virtual-key code of the key with this keysym (its unshifted meaning),
 * or 0 for a key the hooks do not report. */
unsigned virtual_key_of(KeySym keysym);

#endif
