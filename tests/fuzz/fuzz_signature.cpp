// Arbitrary bytes as a signed installer for kvpack verify's signature check: the PE headers as
// far as the certificate table, the table's entries, the PKCS#7 SignedData that OpenSSL reads
// and verifies, and the Authenticode content it signs must neither crash, nor trip a sanitizer,
// nor run away, whatever they hold. One property a cut must break is checked too: an input
// whose signature verifies no longer does without its last byte (the table then ends short of
// what its directory says). The seeds are a tiny image signed with a throw-away certificate:
// as signed, with a nested second signature, its table cut short, a byte of the signature
// value flipped.
#include "kvpack.h"
#include "kvpack_os.h"
#include "kvpack_signature.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

enum : size_t { INPUT_LIMIT = 1 << 20 };

// The file each input is written to, in a folder of its own made once.
const std::filesystem::path &input_file() {
    static std::filesystem::path file;
    if (file.empty()) {
        static char folder[] = "/tmp/kv_fuzz_signature.XXXXXX";
        if (!mkdtemp(folder)) abort();
        file = std::filesystem::path(folder) / "input.exe";
        atexit([] { std::filesystem::remove_all(input_file().parent_path()); });
    }
    return file;
}

// 1 when data, as a file, holds a signature that verifies (no trust store asked for).
int verifies(const uint8_t *data, size_t size) {
    FILE *f = fopen(input_file().c_str(), "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
    kvp_signature signature;
    return kvp_find_signature(input_file(), &signature) == 1 &&
           kvp_verify_signature(input_file(), nullptr, 1) == 0;
}

} // namespace

// The packer's messages and progress go nowhere here: these stand in for kvpack_common.cpp, so
// that the fuzzer's output stays its own.
int kvp_fail(const char *, ...) {
    return 1;
}
std::string kvp_path_display(const std::filesystem::path &path) {
    return path.string();
}
void kvp_progress_add(kvp_progress *, uint64_t) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > INPUT_LIMIT) return 0;
    if (verifies(data, size) && verifies(data, size - 1)) abort(); // a cut table verified
    return 0;
}
