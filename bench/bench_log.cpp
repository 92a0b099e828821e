// Uninstal.log appends: a run of N distinct records, each checked against the pairs already
// in the log. The per-record cost must stay flat from 1,000 to 10,000 records.
// Run: build/native-release/bench/kv_bench_log
#include "engine/install_log.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void append_records(benchmark::State &state) {
    char folder[] = "/tmp/kvbench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const int records = (int)state.range(0);
    install_log log = {};
    install_log_bind(&log);
    for (auto _ : state) {
        install_log_reset();
        text_copy(g_state.dest_path, sizeof g_state.dest_path, folder);
        create_uninstall_log(&g_state);
        for (int i = 0; i < records; i++) {
            char path[PATH_CAPACITY];
            snprintf(path, sizeof path, "%s\\files\\sub%03d\\file%05d.dat", folder, i % 97, i);
            append_uninstall_record(LOG_KIND_FILE, path);
        }
    }
    state.SetItemsProcessed(state.iterations() * records);
    install_log_close(&log);
    install_log_bind(nullptr);
    std::filesystem::remove_all(folder);
}

} // namespace

BENCHMARK(append_records)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
