// The one walk over an archive's records, for every reader in the installer and the packer.
// Each step checks a record against the file's size before any of its lengths becomes an
// offset, and tells a record, the end of the archive and damage apart.
#pragma once

#include "archive/lza_format.h"

#include <cstdint>

struct lza_stream;

// What is wrong where a walk stopped at damage.
enum lza_damage : int {
    LZA_DAMAGE_NONE = 0,
    LZA_DAMAGE_NO_RECORD,   // bytes that are neither a record nor a signature's table
    LZA_DAMAGE_SHORT,       // the magic, but fewer than 24 header bytes after it
    LZA_DAMAGE_NAME_LENGTH, // a name length outside 0..255
    LZA_DAMAGE_PAST_END,    // the name or the packed data run past the end of the file
    LZA_DAMAGE_NAME,        // a name without its NUL at its end, or holding control bytes
    LZA_DAMAGE_SIZES,       // an unpacked size the packed data cannot stand for
    LZA_DAMAGE_UNREADABLE,  // the file could not be read (the platform's error is set)
};

// One record as the walk found it: every offset lies within the file.
struct lza_record {
    int64_t offset;                    // first header byte
    int64_t data_offset;               // first packed byte (the name lies between)
    int64_t end;                       // one past the last packed byte: the next record's offset
    lza_header header;                 // as stored; name_length within 0..255
    char name[LZA_NAME_TEXT_CAPACITY]; // the name in UTF-8 (text_utf8.h's rule), no control
                                       // bytes; "" when there is none
};

struct lza_walk {
    lza_stream *stream;    // borrowed
    int64_t file_size;     // no record may reach past it
    int at_table;          // 1: file_size is where a PE header says the certificate table begins
    int64_t next;          // where the next record begins
    int64_t damage_offset; // after damage: where the damaged record (or stray bytes) begins
    lza_damage damage;     // after damage: what is wrong there; LZA_DAMAGE_NONE before
};

// Starts a walk over the records of stream (not null) from offset start, in a file of
// file_size bytes.
void lza_walk_start(lza_walk *walk, lza_stream *stream, int64_t start, int64_t file_size);
// Ends the walk where the caller, having read the PE header, knows the certificate table begins:
// the records must end there, after at most seven zero bytes of alignment. Whatever is wrong
// with the table itself is then the signature check's to report, not damage of the records.
void lza_walk_end_at_table(lza_walk *walk, int64_t table_offset);
// Steps to the next record. 1 with it in record; 0 at the end of the archive (the end of the
// file, or a signed installer's certificate table, see lza_format.h); -1 at damage, with
// damage and damage_offset set (every later call gives -1 again).
int lza_walk_next(lza_walk *walk, lza_record *record);
// Reads the one record at offset as a walk would step onto it, into record. 1 for a sound
// record; 0 when there is none there; -1 when it is damaged (*damage, optional, says how).
int lza_record_read(lza_stream *stream, int64_t offset, int64_t file_size, lza_record *record,
                    lza_damage *damage);

// A short English description of damage, for the packer's messages.
const char *lza_damage_text(lza_damage damage);
