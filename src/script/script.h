// The setup script setup.txt: loading and preparing its text, the tokenizer, and the queries
// through which every other module reads settings, fields and lists and expands placeholders.
// The prepared text belongs to installer_state; the queries keep nothing between calls.
#pragma once

#include "script/script_keywords.h"

#include <cstddef>
#include <cstdint>

struct installer_state;

enum : size_t {
    SCRIPT_MAX_SIZE = 1u << 20,   // larger setup.txt members are refused, not allocated
    SCRIPT_TOKEN_CAPACITY = 8192, // a token, value or member text: at most 8191 characters
    SCRIPT_EXPAND_CAPACITY = 512, // an expanded text: at most 511 characters
    SCRIPT_BRACKET_CAPACITY = 64, // a bracketed word inside an expansion: at most 63
    SCRIPT_FOLDER_KEYS = 9,       // dir01 .. dir09
};
// The licence and welcome pages show at most this many bytes of their member.
enum : size_t { SCRIPT_PAGE_TEXT_MAX = 1u << 20 };

// ---- Loading and preparation ------------------------------------------------------------

// Loads setup.txt from the archive named by state->archive_path (records from archive_offset)
// and prepares it into state->script_text, releasing any previous text first. Clears
// current_page and choice_flags. 1 on success; 0 when the path is empty, the archive does not
// open, the member is missing or larger than SCRIPT_MAX_SIZE, or no reader can be made.
int load_script(installer_state *state);
// As load_script, from size bytes at data instead of the archive (tests, the packer's lint,
// the fuzzer): the same block and the same preparation. 0 when size exceeds SCRIPT_MAX_SIZE.
int load_script_text(installer_state *state, const void *data, size_t size);
// Frees state->script_text and sets it to null; a state without a script is left alone.
void release_script(installer_state *state);

// Prepares the length characters at text in place: CR LF becomes LF, comments (// to the line
// end, outside quotes) go with their line end, tabs outside quotes become blanks, and blanks
// outside quotes go, also between two word characters, unless one opens the text before a
// word character. When origin is given it holds
// one entry per character and is moved along, so origin[i] keeps the index that prepared
// character i had in the original. Returns the new length; text[new length] is 0.
size_t script_prepare(char *text, size_t length, uint32_t *origin);

// How a text's bytes read.
enum script_encoding_value : int {
    SCRIPT_ENCODING_UNKNOWN = 0, // not looked at
    SCRIPT_ENCODING_UTF8 = 1,    // valid UTF-8 (plain ASCII among it), a byte order mark or not
    SCRIPT_ENCODING_CP1252 = 2,  // not UTF-8, and every byte a character of Windows-1252
    SCRIPT_ENCODING_INVALID = 3, // neither: a byte Windows-1252 leaves undefined
};
// How the size bytes at text read (script_encoding_value); *bad (may be null) receives the
// offset of the first undefined byte of an invalid text.
int script_encoding(const char *text, size_t size, size_t *bad);

// ---- Tokens -----------------------------------------------------------------------------

// 1 when c belongs to letters, digits and _ \ . : * ? { }, or is the NUL terminator; else 0.
int is_word_char(int c);
// Reads one token of text (a [bracket] token, a "quoted" token or a run of word characters),
// skipping other characters first, across line ends. The token goes into out (capacity cap,
// cut to fit; out may be null). Returns the characters consumed: skipped ones plus the token.
size_t next_token(const char *text, char *out, size_t cap);

// ---- Queries ----------------------------------------------------------------------------
// Each returns its text in out (capacity cap, always terminated, cut to fit).

// Counts the lines headed by a page word into page_count; first_page, current_page and
// choice_flags become 0.
void count_pages(installer_state *state);
// The value token behind key on the key's first line, unquoted. 1 when the key has a line;
// 0 (out empty) when it has none or no script is loaded.
int get_value(installer_state *state, uint32_t key, char *out, size_t cap);
// get_value on a prepared script text (null: none) instead of a state's.
int script_value(const char *text, uint32_t key, char *out, size_t cap);
// A text setup.exe shows: the script's value of text key into out (capacity cap), or the key's
// built-in text in the script's language (ui_text.h), or an empty text for a key without one.
// 1 when the script set the key, 0 when the built-in (or empty) text was given.
int script_text(installer_state *state, uint32_t key, char *out, size_t cap);
// Field n of the key's line (field 0 lies between key and first comma), unquoted. 1 when the
// field is there, even empty; 0 when the key or the field is missing.
int get_field(installer_state *state, uint32_t key, int n, char *out, size_t cap);
// Field n of the line that starts at text: commas separate, also inside quotes; a line end or
// the text's end ends the line. No unquoting. 1 when field n is reached, else 0 (out empty).
int take_field(const char *text, int n, char *out, size_t cap);
// Strips one pair of enclosing quotes (when the text is longer than one character) and turns
// each \" into ". In place; a null text is ignored.
void unquote(char *text);
// in with [source] removed, [dest] replaced by dest_path and [dir01]..[dir09] by their folder
// values; any other bracketed text, and an undefined or cyclic folder placeholder, stays as
// written. in and out may be the same buffer. 1 when the whole result fitted into 511
// characters and into cap; 0 when it was cut.
int expand_placeholders(installer_state *state, const char *in, char *out, size_t cap);
// The expanded value of the folder key for placeholder_id ([dir01]..[dir09]) into out, which
// may be null when only the answer matters. 1 when the key is defined and not part of a cycle
// of folder keys; 0 otherwise (out empty).
int expand_folder_key(installer_state *state, uint32_t placeholder_id, char *out, size_t cap);
// From position from of text, the positions just behind the first { and the first } heading a
// line. 1 when both were found; 0 otherwise (the outputs then hold -1 where not found).
int find_braces(const char *text, int32_t from, int32_t *open_after, int32_t *close_after);
// Keyword id heading entry n (from 0) of the list of key list_key, empty lines passed over.
// 0 when there are fewer entries, the list or its braces are missing, or the entry is }.
uint32_t list_item_id(installer_state *state, uint32_t list_key, int n);
// Position in script_text of entry line n (from 0) of the list of key list_key, empty lines
// counting as entries, and a copy of the line in out. 0 when there is no such entry.
int32_t list_line(installer_state *state, uint32_t list_key, int n, char *out, size_t cap);
// The member named by key's value, unpacked from the archive into out and NUL-terminated
// (cut at cap - 1 characters). 1 on success; 0 when the key is absent or empty, the archive
// path is empty or does not open, the member is missing or no reader can be made.
int load_member_text(installer_state *state, uint32_t key, char *out, size_t cap);

// ---- Line model, shared by the queries and the packer's checks --------------------------

// Where the head of a line lies: the first token read from a line's start (crossing empty
// lines), and where the line after the head's line begins.
struct script_head {
    uint32_t id;       // keyword id of the head; 0 outside the table or at the text's end
    int32_t start;     // first character of the head token
    int32_t end;       // just behind it
    int32_t next_line; // just behind the next LF from end, or the text's end
};

// Characters next_token skips at the start of text before its token.
size_t token_skip(const char *text);
// Reads the head of the line at pos into *head, and its word into word (capacity cap, may
// be null; at most 63 characters, enough for every keyword). Returns the head's keyword id.
uint32_t script_read_head(const char *text, int32_t pos, script_head *head, char *word, size_t cap);
// Position just behind the head of the first line headed by key, or -1 when there is none.
int32_t script_find_key(const char *text, uint32_t key);
