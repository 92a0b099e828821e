// Decodes one raw packed member (a vector's NAME.lza) to stdout, with the production reader
// or, given --plain, with the plain decoder: a process to time beside xz -d.
// Usage: kv_lza_cat [--plain] FILE.lza UNPACKED_SIZE
#include "archive/lza_decode.h"
#include "archive/lza_stream.h"
#include "lzari_plain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
    const int plain = argc == 4 && !strcmp(argv[1], "--plain");
    if (argc != 3 + plain) {
        fputs("usage: kv_lza_cat [--plain] FILE.lza UNPACKED_SIZE\n", stderr);
        return 2;
    }
    FILE *in = fopen(argv[1 + plain], "rb");
    if (!in) return perror(argv[1 + plain]), 1;
    std::vector<unsigned char> packed;
    unsigned char portion[1 << 16];
    size_t got;
    while ((got = fread(portion, 1, sizeof portion, in)) > 0)
        packed.insert(packed.end(), portion, portion + got);
    fclose(in);
    const uint32_t size = (uint32_t)strtoul(argv[2 + plain], nullptr, 10);
    if (plain) {
        std::vector<unsigned char> out(size);
        lzari_plain_decode(packed.data(), packed.size(), out.data(), size);
        fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    std::vector<unsigned char> record(LZA_HEADER_SIZE);
    const lza_header h = {LZA_MAGIC, 1, 1, size, (uint32_t)packed.size(), 0, 0, 0};
    lza_header_encode(&h, record.data());
    record.insert(record.end(), packed.begin(), packed.end());
    lza_stream *stream = lza_stream_open_memory(record.data(), record.size());
    lza_reader *reader = lza_open(stream, 0);
    while (reader && (got = lza_read(portion, 1, sizeof portion, reader)) > 0)
        fwrite(portion, 1, got, stdout);
    lza_close(reader);
    lza_stream_close(stream);
    return 0;
}
