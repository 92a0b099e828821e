// Encoder size and throughput over the vector corpus: the production encoder beside the plain
// greedy baseline and the packed sizes the manifest records.
// Run: build/native-release/bench/kv_bench_encode
// Counters: packed (bytes out), manifest (the greedy sizes of MANIFEST.tsv), vs_manifest
// (packed / manifest).
#include "archive/lza_decode.h"
#include "archive/lza_encode.h"
#include "archive/lza_stream.h"
#include "lzari_plain.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct original {
    std::string name;
    uint32_t manifest_packed;
    std::vector<unsigned char> bytes;
};

// The corpus originals, decoded once from the vectors.
std::vector<original> &corpus() {
    static std::vector<original> files = [] {
        std::vector<original> out;
        std::ifstream manifest(std::string(KV_VECTORS_DIR) + "/MANIFEST.tsv");
        std::string line;
        std::getline(manifest, line);
        while (std::getline(manifest, line)) {
            std::istringstream f(line);
            original o;
            uint32_t size;
            f >> o.name >> size >> o.manifest_packed;
            if (size == 0) continue;
            std::ifstream in(std::string(KV_VECTORS_DIR) + "/" + o.name + ".lza", std::ios::binary);
            std::vector<unsigned char> packed((std::istreambuf_iterator<char>(in)), {});
            lza_header h = {LZA_MAGIC, 1, 1, size, (uint32_t)packed.size(), 0, 0, 0};
            std::vector<unsigned char> record(LZA_HEADER_SIZE);
            lza_header_encode(&h, record.data());
            record.insert(record.end(), packed.begin(), packed.end());
            lza_stream *s = lza_stream_open_memory(record.data(), record.size());
            lza_reader *r = lza_open(s, 0);
            o.bytes.resize(size);
            lza_read(o.bytes.data(), 1, size, r);
            lza_close(r);
            lza_stream_close(s);
            out.push_back(std::move(o));
        }
        return out;
    }();
    return files;
}

size_t encode_ours(const std::vector<unsigned char> &in) {
    lza_byte_buffer out = {};
    lza_encode_memory(in.data(), in.size(), &out);
    const size_t size = out.size;
    lza_byte_buffer_free(&out);
    return size;
}

size_t encode_plain(const std::vector<unsigned char> &in) {
    std::vector<unsigned char> out;
    lzari_plain_encode(in.data(), in.size(), &out);
    return out.size();
}

void report(benchmark::State &state, int64_t in_bytes, double packed, double manifest) {
    state.SetBytesProcessed(state.iterations() * in_bytes);
    state.counters["packed"] = packed;
    state.counters["manifest"] = manifest;
    state.counters["vs_manifest"] = packed / manifest;
}

template <size_t (*encode)(const std::vector<unsigned char> &)>
void BM_Corpus(benchmark::State &state) {
    int64_t in_bytes = 0;
    double packed = 0, manifest = 0;
    for (auto _ : state) {
        in_bytes = 0;
        packed = manifest = 0;
        for (const original &o : corpus()) {
            packed += (double)encode(o.bytes);
            manifest += o.manifest_packed;
            in_bytes += (int64_t)o.bytes.size();
        }
    }
    report(state, in_bytes, packed, manifest);
}

template <size_t (*encode)(const std::vector<unsigned char> &)>
void BM_File(benchmark::State &state) {
    const original &o = corpus()[(size_t)state.range(0)];
    state.SetLabel(o.name);
    size_t packed = 0;
    for (auto _ : state) packed = encode(o.bytes);
    report(state, (int64_t)o.bytes.size(), (double)packed, o.manifest_packed);
}

} // namespace

BENCHMARK_TEMPLATE(BM_Corpus, encode_ours)->Name("EncodeCorpus")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Corpus, encode_plain)
    ->Name("PlainGreedyEncodeCorpus")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_File, encode_ours)
    ->Name("EncodeFile")
    ->DenseRange(0, 9)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_File, encode_plain)
    ->Name("PlainGreedyEncodeFile")
    ->DenseRange(0, 9)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
