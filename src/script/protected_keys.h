// Keys of HKEY_CLASSES_ROOT that no installer script may name as the class or the extension of
// a file association. The registry step deletes both keys with every subkey before it writes
// them anew, so an entry naming CLSID would wipe out every COM registration of the machine:
// the installer refuses such entries and the packer's checks report them. One list serves both.
#pragma once

// 1 when name must not be deleted and rewritten as an association's key: a key that Windows
// itself or every program depends on (compared ignoring case), an empty name (the root itself),
// or a name holding a backslash (which reaches below another key, or is empty at a level).
// 0 for any other name.
int is_protected_class_key(const char *name);
