// File types that Windows or common programs own, such as .txt, .zip or .pdf: a script may
// register them (the installer borrows the extension and its uninstaller gives it back), but
// then every user's files of that type open with the product until it is uninstalled. The
// packer's checks warn about them. The types no script may take at all are protected keys
// (protected_keys.h) and are not repeated here.
#pragma once

// 1 when extension (with its full stop, any case) is a type that Windows or a common program
// owns; 0 for any other text.
int is_common_file_type(const char *extension);
