// Buffered archive stream over the platform seam.
#include "archive/lza_stream.h"

#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <new>

enum : size_t { STREAM_BUFFER_SIZE = 64 * 1024 };

lza_stream *lza_stream_open(const char *path) {
    platform_file *file = platform_open_read(path);
    if (!file) return nullptr;
    lza_stream *s = static_cast<lza_stream *>(platform_alloc(1, sizeof(lza_stream)));
    unsigned char *buffer = static_cast<unsigned char *>(platform_alloc(STREAM_BUFFER_SIZE, 1));
    if (!s || !buffer) {
        platform_free(s);
        platform_free(buffer);
        platform_close(file);
        platform_set_last_error(PLATFORM_ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    s->file = file;
    s->buffer = buffer;
    s->capacity = STREAM_BUFFER_SIZE;
    s->owns_buffer = 1;
    return s;
}

lza_stream *lza_stream_open_memory(const void *data, size_t size) {
    lza_stream *s = static_cast<lza_stream *>(platform_alloc(1, sizeof(lza_stream)));
    if (!s) return nullptr;
    s->buffer = const_cast<unsigned char *>(static_cast<const unsigned char *>(data));
    s->capacity = size;
    s->end = size;
    return s;
}

void lza_stream_close(lza_stream *s) {
    if (!s) return;
    if (s->owns_buffer) platform_free(s->buffer);
    platform_close(s->file);
    platform_free(s);
}

int64_t lza_stream_tell(const lza_stream *s) {
    return s->buffer_start + (int64_t)s->pos + s->past_end;
}

int64_t lza_stream_size(lza_stream *s) {
    if (!s) return -1;
    return s->file ? platform_file_size(s->file) : (int64_t)s->capacity;
}

int lza_stream_seek(lza_stream *s, int64_t offset) {
    if (offset < 0) return 0;
    s->past_end = 0;
    if (offset >= s->buffer_start && offset <= s->buffer_start + (int64_t)s->end) {
        s->pos = (size_t)(offset - s->buffer_start);
        return 1;
    }
    if (!s->file) { // a memory stream has nothing beyond its block: park past the end
        s->pos = s->end;
        s->past_end = offset - (int64_t)s->end;
        return 1;
    }
    if (!platform_seek(s->file, offset)) return 0;
    s->buffer_start = offset;
    s->pos = s->end = 0;
    return 1;
}

int lza_stream_skip(lza_stream *s, int64_t delta) {
    int64_t here = lza_stream_tell(s);
    if (delta < 0 && -delta > here) return 0;
    return lza_stream_seek(s, here + delta);
}

// Reads the next buffer-full at the current position. 1 when bytes arrived.
static int refill(lza_stream *s) {
    if (!s->file || s->error) return 0;
    // pos == end here, so the file stands exactly at the stream's position
    s->buffer_start = lza_stream_tell(s);
    s->pos = s->end = 0;
    long got = platform_read(s->file, s->buffer, s->capacity);
    if (got < 0) {
        s->error = 1;
        return 0;
    }
    s->end = (size_t)got;
    return got > 0;
}

int lza_stream_refill_getc(lza_stream *s) {
    if (!refill(s)) return -1;
    return s->buffer[s->pos++];
}

size_t lza_stream_read(lza_stream *s, void *out, size_t size) {
    unsigned char *dst = static_cast<unsigned char *>(out);
    size_t done = 0;
    while (done < size) {
        if (s->pos == s->end && !refill(s)) break;
        size_t n = s->end - s->pos;
        if (n > size - done) n = size - done;
        memcpy(dst + done, s->buffer + s->pos, n);
        s->pos += n;
        done += n;
    }
    return done;
}
