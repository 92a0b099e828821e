// Decode throughput over the vector corpus: the production reader beside the plain baseline.
// Run: build/native-release/bench/kv_bench_decode
#include "archive/lza_decode.h"
#include "archive/lza_stream.h"
#include "lzari_plain.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct member {
    std::string name;
    uint32_t size;
    std::vector<unsigned char> packed, record;
};

std::vector<member> &corpus() {
    static std::vector<member> members = [] {
        std::vector<member> out;
        std::ifstream manifest(std::string(KV_VECTORS_DIR) + "/MANIFEST.tsv");
        std::string line;
        std::getline(manifest, line);
        while (std::getline(manifest, line)) {
            std::istringstream f(line);
            member m;
            uint32_t packed_size;
            f >> m.name >> m.size >> packed_size;
            if (m.size == 0) continue;
            std::ifstream in(std::string(KV_VECTORS_DIR) + "/" + m.name + ".lza", std::ios::binary);
            m.packed.assign(std::istreambuf_iterator<char>(in), {});
            lza_header h = {LZA_MAGIC, 1, 1, m.size, (uint32_t)m.packed.size(), 0, 0, 0};
            m.record.resize(LZA_HEADER_SIZE);
            lza_header_encode(&h, m.record.data());
            m.record.insert(m.record.end(), m.packed.begin(), m.packed.end());
            out.push_back(std::move(m));
        }
        return out;
    }();
    return members;
}

int64_t corpus_bytes() {
    int64_t total = 0;
    for (auto &m : corpus()) total += m.size;
    return total;
}

void BM_DecodeCorpus(benchmark::State &state) {
    std::vector<unsigned char> out(1 << 16);
    for (auto _ : state) {
        for (auto &m : corpus()) {
            lza_stream *s = lza_stream_open_memory(m.record.data(), m.record.size());
            lza_reader *r = lza_open(s, 0);
            while (lza_read(out.data(), 1, out.size(), r) > 0) benchmark::DoNotOptimize(out.data());
            lza_close(r);
            lza_stream_close(s);
        }
    }
    state.SetBytesProcessed(state.iterations() * corpus_bytes());
}
BENCHMARK(BM_DecodeCorpus)->Unit(benchmark::kMillisecond);

void BM_PlainDecodeCorpus(benchmark::State &state) {
    std::vector<unsigned char> out;
    for (auto _ : state) {
        for (auto &m : corpus()) {
            out.resize(m.size);
            lzari_plain_decode(m.packed.data(), m.packed.size(), out.data(), m.size);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * corpus_bytes());
}
BENCHMARK(BM_PlainDecodeCorpus)->Unit(benchmark::kMillisecond);

// Per file, to see where each decoder spends its time.
void BM_DecodeFile(benchmark::State &state) {
    const member &m = corpus()[(size_t)state.range(0)];
    state.SetLabel(m.name);
    std::vector<unsigned char> out(1 << 16);
    for (auto _ : state) {
        lza_stream *s = lza_stream_open_memory(m.record.data(), m.record.size());
        lza_reader *r = lza_open(s, 0);
        while (lza_read(out.data(), 1, out.size(), r) > 0) benchmark::DoNotOptimize(out.data());
        lza_close(r);
        lza_stream_close(s);
    }
    state.SetBytesProcessed(state.iterations() * m.size);
}
BENCHMARK(BM_DecodeFile)->DenseRange(0, 9)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
