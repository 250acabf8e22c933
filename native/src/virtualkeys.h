/* Windows virtual-key codes for X keysyms, as the hook messages carry them
 * and as the settings store keeps the hotkey.  Built into the extension
 * library and into the tray program, so both read one table. */
#ifndef SNAPLARK_VIRTUALKEYS_H
#define SNAPLARK_VIRTUALKEYS_H

#include <X11/X.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The virtual-key code of the key with this keysym (its unshifted meaning),
 * or 0 for a key the hooks do not report (modifiers and lock keys). */
unsigned virtual_key_of(KeySym keysym);

/* The keysym a key with this virtual-key code carries unshifted (lock keys
 * included), or NoSymbol for a code without a key. */
unsigned long snaplark_keysym_of_virtual_key(unsigned code);

#ifdef __cplusplus
}
#endif

#endif
