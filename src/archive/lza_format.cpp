// Byte-order-independent header coding.
#include "archive/lza_format.h"

static uint32_t get32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
static uint16_t get16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
static void put32(unsigned char *p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}
static void put16(unsigned char *p, uint16_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

void lza_header_decode(const unsigned char bytes[LZA_HEADER_SIZE], lza_header *h) {
    h->magic = get32(bytes);
    h->const_word_1 = get16(bytes + 4);
    h->const_word_2 = get16(bytes + 6);
    h->unpacked_size = get32(bytes + 8);
    h->packed_size = get32(bytes + 12);
    h->file_time = get32(bytes + 16);
    h->name_length = (int16_t)get16(bytes + 20);
    h->reserved = get16(bytes + 22);
}

void lza_header_encode(const lza_header *h, unsigned char bytes[LZA_HEADER_SIZE]) {
    put32(bytes, h->magic);
    put16(bytes + 4, h->const_word_1);
    put16(bytes + 6, h->const_word_2);
    put32(bytes + 8, h->unpacked_size);
    put32(bytes + 12, h->packed_size);
    put32(bytes + 16, h->file_time);
    put16(bytes + 20, (uint16_t)h->name_length);
    put16(bytes + 22, h->reserved);
}

int lza_has_magic(const unsigned char bytes[4]) {
    return bytes[0] == 'L' && bytes[1] == 'Z' && bytes[2] == 'A' && bytes[3] == '!';
}
