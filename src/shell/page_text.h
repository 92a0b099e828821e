// The texts of the welcome and licence pages: the whole member, not only what fits the shared
// text buffer (a licence cut short asks the user to accept what they cannot read), with bare LF
// line ends made CR LF, because an edit control breaks lines only at CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;

// Copies n bytes at in to out, writing every LF that does not follow a CR as CR LF, and
// terminates out, which must hold 2 * n + 1 bytes. Returns the bytes written before the NUL.
size_t page_text_line_ends(const char *in, size_t n, char *out);
// The member named by key's value (license, welcome), unpacked whole up to
// SCRIPT_PAGE_TEXT_MAX bytes (a longer one is cut there), line ends as above, in a new heap
// block the caller frees with free(). Null when the key is absent or empty, the archive or the
// member cannot be read, or memory is short; *length (when given) is then 0.
char *load_page_text(installer_state *state, uint32_t key, size_t *length);
