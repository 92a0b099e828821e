// kvpack pack: one member record per source file, appended to a stub whose marker is patched
// to the records' offset, or written beside it in a .pck file, or on their own.
#include "archive/lza_encode.h"
#include "archive/lza_locate.h"
#include "archive/lza_lookup.h"
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_identity.h"
#include "kvpack_signature.h"
#include "kvpack_stub_version.h"
#include "kvpack_lint.h"
#include "kvpack_os.h"
#include "kvpack_threads.h"
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] =
    "usage: kvpack pack -o OUTPUT [--stub PATH | --arch ARCH] [--icon FILE.ico] [--pck | --bare]\n"
    "                   [-j N] [--quiet] SOURCE...\n"
    "\n"
    "Packs every SOURCE file, and every file below every SOURCE folder (named by its path\n"
    "relative to that folder, folders joined by backslashes), as one member each, in the\n"
    "order given (a folder's files sorted by name). A member named setup.txt (any case) is\n"
    "required: the installer reads it first. The checks of kvpack lint run on it against the\n"
    "members being packed, and each finding is printed. A script with an error (a misspelt\n"
    "step, a quote or list left open, a copy entry that matches no member, a text neither\n"
    "UTF-8 nor Windows-1252, an unknown language...) stops the packing with exit code 1 and\n"
    "its first error; warnings do not.\n"
    "\n"
    "  -o OUTPUT    the installer (or archive) to write; replaced only when all went well\n"
    "  --stub PATH  the installer stub to append to; its marker SelfExtractorIndex= gets the\n"
    "               offset of the first record. Without it, the stub kvpack --version shows\n"
    "  --arch ARCH  the default stub for i686 (the default) or x86_64\n"
    "  --icon FILE  the installer's program icon (and that of the uninstaller among the\n"
    "               members), in place of Korvex Setup's\n"
    "  --pck        write the stub with marker 00000000 to OUTPUT and the records to the\n"
    "               sibling .pck file (OUTPUT's last extension replaced by .pck)\n"
    "  --bare       write only the records to OUTPUT (an archive without a stub)\n"
    "  -j N         compress N members at once (default: the number of processors); the\n"
    "               output is the same for every N\n"
    "  --quiet      no progress line, no summary\n"
    "  --strict     stop before writing anything when the script checks find something\n"
    "  --force      pack even a script with errors (they are still printed)\n"
    "\n"
    "The installer's file properties (product name, publisher, version) come from setup.txt:\n"
    "its uninstall line, or the keys product_name, product_publisher and product_version.\n"
    "A member that is the uninstaller kvuninst.exe gets the same name and icon.\n"
    "\n"
    "Limits: member names of at most 254 characters, unique regardless of case and of\n"
    "trailing dots and blanks, and none the installer refuses (a device name such as CON or\n"
    "COM1, a part with a drive or a stream, or Uninstal.log and InsErr.log, its logs); files\n"
    "of at most 4 GiB - 1 bytes.\n";

enum : size_t { READ_PORTION = 1 << 20, MAX_MEMBER_NAME = LZA_MAX_NAME_LENGTH - 1 };
const uint64_t MAX_MEMBER_SIZE = 0xFFFFFFFFull;
// Parallel packing holds each member's packed data in memory until its turn to be written:
// members larger than this are packed on their own, straight into the output, and a batch
// packed together holds at most BATCH_BYTES of input (or one member, whatever its size).
const uint64_t PARALLEL_MEMBER_MAX = 64ull << 20;
const uint64_t BATCH_BYTES = 256ull << 20;
const int MAX_JOBS = 256;

struct pack_options {
    fs::path output;
    fs::path stub, icon;
    const char *arch = nullptr; // --arch: the default stub's architecture
    int has_stub = 0, has_icon = 0, pck = 0, bare = 0, quiet = 0, strict = 0, force = 0;
    int jobs = 0; // members compressed at once; 0 until chosen
    std::vector<fs::path> sources;
};

struct member_source {
    fs::path path;
    std::string name; // as stored: backslash-separated, 8-bit
    uint64_t size;
    uint32_t file_time;
};

struct file_writer {
    FILE *file;
    uint64_t written;
};

int write_to_file(void *context, const void *data, size_t size) {
    file_writer *w = static_cast<file_writer *>(context);
    if (fwrite(data, 1, size, w->file) != size) return 0;
    w->written += size;
    return 1;
}

int parse_options(int argc, char **argv, pack_options *o) {
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if ((!strcmp(a, "-o") || !strcmp(a, "--stub") || !strcmp(a, "--icon") ||
             !strcmp(a, "--arch")) &&
            i + 1 >= argc)
            return kvp_fail("pack: %s needs a path", a);
        if (!strcmp(a, "-j") && i + 1 >= argc) return kvp_fail("pack: -j needs a number");
        if (!strcmp(a, "-j")) {
            char *end = nullptr;
            const long n = strtol(argv[++i], &end, 10);
            if (*argv[i] == 0 || *end != 0 || n < 1 || n > MAX_JOBS)
                return kvp_fail("pack: -j takes a number from 1 to %d, not '%s'", MAX_JOBS,
                                argv[i]);
            o->jobs = (int)n;
        } else if (!strcmp(a, "-o"))
            o->output = kvp_text_path(argv[++i]);
        else if (!strcmp(a, "--stub"))
            o->stub = kvp_text_path(argv[++i]), o->has_stub = 1;
        else if (!strcmp(a, "--icon"))
            o->icon = kvp_text_path(argv[++i]), o->has_icon = 1;
        else if (!strcmp(a, "--arch"))
            o->arch = argv[++i];
        else if (!strcmp(a, "--pck"))
            o->pck = 1;
        else if (!strcmp(a, "--bare"))
            o->bare = 1;
        else if (!strcmp(a, "--quiet") || !strcmp(a, "-q"))
            o->quiet = 1;
        else if (!strcmp(a, "--strict"))
            o->strict = 1;
        else if (!strcmp(a, "--force"))
            o->force = 1;
        else if (a[0] == '-' && a[1] != 0)
            return kvp_fail("pack: unknown option '%s'", a);
        else
            o->sources.push_back(kvp_text_path(a));
    }
    if (o->output.empty()) return kvp_fail("pack: no output given (-o OUTPUT)");
    if (o->sources.empty()) return kvp_fail("pack: no source files given");
    if (o->bare && (o->pck || o->has_stub || o->arch))
        return kvp_fail("pack: --bare takes no stub or --pck");
    if (o->has_stub && o->arch)
        return kvp_fail("pack: --arch chooses the default stub, not --stub");
    if (o->strict && o->force)
        return kvp_fail("pack: --strict stops on any finding, --force on none: give one");
    if (o->jobs == 0) o->jobs = std::min(kvp_processor_count(), MAX_JOBS);
    return 0;
}

// Member name for a path relative to its source folder: components joined by backslashes.
int member_name(const fs::path &relative, std::string *name) {
    name->clear();
    for (const fs::path &part : relative) {
        std::string text;
        if (!kvp_path_text(part, &text)) return 0;
        if (!name->empty()) *name += '\\';
        *name += text;
    }
    return 1;
}

int add_member(const fs::path &path, const fs::path &relative, std::vector<member_source> *out) {
    member_source m;
    m.path = path;
    if (!member_name(relative, &m.name))
        return kvp_fail("%s: name is not valid Unicode", kvp_path_display(path).c_str());
    std::error_code ec;
    m.size = fs::file_size(path, ec);
    if (ec) return kvp_fail("%s: %s", m.name.c_str(), ec.message().c_str());
    if (m.size > MAX_MEMBER_SIZE)
        return kvp_fail("%s: %llu bytes, more than a member can hold (4 GiB - 1)", m.name.c_str(),
                        (unsigned long long)m.size);
    if (m.name.size() > MAX_MEMBER_NAME)
        return kvp_fail("%s: member name longer than %u characters", m.name.c_str(),
                        (unsigned)MAX_MEMBER_NAME);
    struct tm local;
    if (!kvp_file_local_time(path, &local))
        return kvp_fail("%s: last-write time cannot be read", m.name.c_str());
    m.file_time = kvp_dos_time(&local);
    out->push_back(m);
    return 0;
}

int collect_members(const pack_options &o, std::vector<member_source> *members) {
    for (const fs::path &source : o.sources) {
        std::error_code ec;
        const fs::file_status st = fs::status(source, ec);
        if (ec || !fs::exists(st))
            return kvp_fail("%s: not found", kvp_path_display(source).c_str());
        if (fs::is_regular_file(st)) {
            if (add_member(source, source.filename(), members)) return 1;
            continue;
        }
        if (!fs::is_directory(st))
            return kvp_fail("%s: neither a file nor a folder", kvp_path_display(source).c_str());
        std::vector<fs::path> files;
        fs::recursive_directory_iterator it(source, ec), end;
        for (; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec)) files.push_back(it->path());
        if (ec) return kvp_fail("%s: %s", kvp_path_display(source).c_str(), ec.message().c_str());
        std::sort(files.begin(), files.end());
        for (const fs::path &f : files)
            if (add_member(f, f.lexically_relative(source), members)) return 1;
    }
    return 0;
}

// Refuses member names the installer would refuse or that Windows would make one file, and a
// set without a script. 0 when the members may be packed.
int check_members(const std::vector<member_source> &members) {
    int has_script = 0;
    lza_name_set seen;
    if (!lza_name_set_init(&seen, members.size())) return kvp_fail("no memory for the names");
    int failed = 0;
    for (size_t i = 0; !failed && i < members.size(); i++) {
        const std::string &name = members[i].name;
        if (match_member_name("setup.txt", name.c_str())) has_script = 1;
        int32_t earlier = -1;
        const lza_path_refusal why = kvp_name_refusal(name, 1, &seen, (int32_t)i, &earlier);
        if (why == LZA_PATH_SAME_NAME && earlier >= 0)
            failed = kvp_fail("two members named %s and %s (Windows would make them one file: "
                              "names ignore case and trailing dots and blanks)",
                              members[earlier].name.c_str(), name.c_str());
        else if (why != LZA_PATH_ACCEPTED)
            failed = kvp_fail("member name %s %s: the installer would refuse it", name.c_str(),
                              lza_path_refusal_text(why));
    }
    lza_name_set_free(&seen);
    if (failed) return 1;
    if (!has_script) return kvp_fail("no setup.txt among the members: the installer needs one");
    return 0;
}

// The script checks on the setup.txt the installer will read (the first member of that name),
// against the members being packed. 1 when it cannot be read, on an error unless forced, and
// with --strict on any finding.
int lint_script(const std::vector<member_source> &members, int strict, int force) {
    std::vector<lint_member> listed;
    std::vector<fs::path> paths;
    const member_source *script = nullptr;
    for (const member_source &m : members) {
        listed.push_back({m.name.c_str(), m.size, 0});
        paths.push_back(m.path);
        if (!script && match_member_name("setup.txt", m.name.c_str())) script = &m;
    }
    int errors = 0;
    std::string first;
    const int count =
        script ? kvp_lint_script(script->path, &listed, &paths, strict, stderr, &errors, &first)
               : 0;
    if (count < 0) return 1;
    if (errors > 0 && !force)
        return kvp_fail("pack: %d script error%s, the first: %s; nothing written (--force packs "
                        "anyway)",
                        errors, errors == 1 ? "" : "s", first.c_str());
    if (strict && count > 0)
        return kvp_fail("pack: %d script finding%s with --strict; nothing written", count,
                        count == 1 ? "" : "s");
    return 0;
}

int load_stub(const fs::path &path, std::vector<unsigned char> *stub) {
    FILE *f = kvp_open(path, "rb");
    if (!f) return kvp_fail("stub %s cannot be opened", kvp_path_display(path).c_str());
    unsigned char portion[1 << 16];
    size_t got;
    while ((got = fread(portion, 1, sizeof portion, f)) > 0)
        stub->insert(stub->end(), portion, portion + got);
    const int failed = ferror(f);
    fclose(f);
    if (failed) return kvp_fail("stub %s cannot be read", kvp_path_display(path).c_str());
    return 0;
}

// Writes the marker digits: the offset of the first record, or 0 for a .pck file.
int patch_marker(std::vector<unsigned char> *stub, const fs::path &path, uint32_t offset) {
    int count = 0;
    const int64_t at = kvp_find_marker(stub->data(), stub->size(), &count);
    if (count != 1)
        return kvp_fail("stub %s has %d markers (%s and 8 hex digits); exactly 1 is needed",
                        kvp_path_display(path).c_str(), count, LZA_MARKER_PREFIX);
    char digits[LZA_MARKER_DIGITS + 1];
    snprintf(digits, sizeof digits, "%08X", offset);
    memcpy(stub->data() + at + LZA_MARKER_PREFIX_LENGTH, digits, LZA_MARKER_DIGITS);
    return 0;
}

// Writes the digest marker's digits: digest (the .pck's SHA-256), or zeros without one, so
// that a stub packed again never keeps an old digest. A stub without the marker predates
// archive digests: with a digest to write that is said, since a signature over the stub will
// not cover its .pck; more than one marker is refused.
int patch_digest(std::vector<unsigned char> *stub, const fs::path &path,
                 const unsigned char *digest) {
    int count = 0;
    const int64_t at = kvp_find_marker_text(stub->data(), stub->size(), LZA_DIGEST_MARKER_PREFIX,
                                            LZA_DIGEST_DIGITS, &count);
    const std::string shown = kvp_path_display(path);
    if (count > 1)
        return kvp_fail("stub %s has %d digest markers (%s and 64 hex digits); at most 1 may be",
                        shown.c_str(), count, LZA_DIGEST_MARKER_PREFIX);
    if (count == 0) {
        if (digest)
            fprintf(stderr,
                    "%s: warning: no digest marker (%s): a signature over the stub "
                    "will not cover its .pck\n",
                    shown.c_str(), LZA_DIGEST_MARKER_PREFIX);
        return 0;
    }
    char digits[LZA_DIGEST_DIGITS + 1];
    for (size_t i = 0; i < LZA_DIGEST_SIZE; i++)
        snprintf(digits + 2 * i, 3, "%02X", digest ? digest[i] : 0);
    memcpy(stub->data() + at + LZA_DIGEST_MARKER_PREFIX_LENGTH, digits, LZA_DIGEST_DIGITS);
    return 0;
}

// Packs the file of member m through write(context, ...), adding what it reads to progress
// (when given). 0 with *packed set, else 1 with *error saying why; nothing is printed, so
// that parallel packing reports failures in member order. write_failure names a failed write.
int encode_member(const member_source &m, lza_write_fn write, void *context, kvp_progress *progress,
                  const char *write_failure, uint64_t *packed, std::string *error) {
    FILE *in = kvp_open(m.path, "rb");
    if (!in) return *error = m.name + ": cannot be opened", 1;
    lza_encoder *e = lza_encode_begin(write, context);
    if (!e) {
        fclose(in);
        return *error = "out of memory", 1;
    }
    std::vector<unsigned char> portion(READ_PORTION);
    uint64_t read_total = 0;
    size_t got;
    int ok = 1;
    while (ok && (got = fread(portion.data(), 1, portion.size(), in)) > 0) {
        read_total += got;
        ok = read_total <= m.size && lza_encode_feed(e, portion.data(), got);
        if (progress) kvp_progress_add(progress, got);
    }
    const int read_failed = ferror(in);
    fclose(in);
    if (!ok || read_failed || read_total != m.size) {
        lza_encode_abort(e);
        if (read_failed) return *error = m.name + ": read error", 1;
        if (read_total != m.size) return *error = m.name + ": changed while being packed", 1;
        return *error = write_failure, 1;
    }
    if (!lza_encode_end(e, packed)) return *error = write_failure, 1;
    if (*packed > MAX_MEMBER_SIZE)
        return *error = m.name + ": packs to " + std::to_string(*packed) +
                        " bytes, more than a record can hold",
               1;
    return 0;
}

lza_header record_header(const member_source &m, uint64_t packed) {
    return {LZA_MAGIC,
            1,
            1,
            (uint32_t)m.size,
            (uint32_t)packed,
            m.file_time,
            (int16_t)(m.name.size() + 1),
            0};
}

// Appends one member record at the file's end: header (sizes patched once known), name, data.
int write_record(FILE *out, const member_source &m, kvp_progress *progress) {
    const int64_t record_at = kvp_tell(out);
    lza_header h = record_header(m, 0);
    unsigned char head[LZA_HEADER_SIZE];
    lza_header_encode(&h, head);
    file_writer w = {out, 0};
    if (!write_to_file(&w, head, sizeof head) ||
        !write_to_file(&w, m.name.c_str(), m.name.size() + 1))
        return kvp_fail("output cannot be written");
    progress->label = m.name;
    uint64_t packed = 0;
    std::string error;
    if (encode_member(m, write_to_file, &w, progress, "output cannot be written", &packed, &error))
        return kvp_fail("%s", error.c_str());
    h.packed_size = (uint32_t)packed;
    lza_header_encode(&h, head);
    const int64_t end = kvp_tell(out);
    if (!kvp_seek(out, record_at) || fwrite(head, 1, sizeof head, out) != sizeof head ||
        !kvp_seek(out, end))
        return kvp_fail("output cannot be written");
    return 0;
}

// One member packed into memory by a parallel batch.
struct packed_member {
    lza_byte_buffer data = {};
    uint64_t packed = 0;
    int failed = 0;
    std::string error;
};

// A run of members packed at once: each thread takes the next unpacked one until none is left.
struct member_batch {
    const member_source *members; // the batch's first member
    packed_member *results;       // one per member
    size_t count;
    std::atomic<size_t> next;
};

void pack_batch(void *context) {
    member_batch *b = static_cast<member_batch *>(context);
    for (size_t i; (i = b->next.fetch_add(1)) < b->count;) {
        packed_member &r = b->results[i];
        r.failed = encode_member(b->members[i], lza_byte_buffer_write, &r.data, nullptr,
                                 "out of memory", &r.packed, &r.error);
    }
}

// Appends the record of a member packed into memory.
int write_packed(FILE *out, const member_source &m, const packed_member &r,
                 kvp_progress *progress) {
    if (r.failed) return kvp_fail("%s", r.error.c_str());
    const lza_header h = record_header(m, r.packed);
    unsigned char head[LZA_HEADER_SIZE];
    lza_header_encode(&h, head);
    if (fwrite(head, 1, sizeof head, out) != sizeof head ||
        fwrite(m.name.c_str(), 1, m.name.size() + 1, out) != m.name.size() + 1 ||
        (r.data.size > 0 && fwrite(r.data.data, 1, r.data.size, out) != r.data.size))
        return kvp_fail("output cannot be written");
    progress->label = m.name;
    kvp_progress_add(progress, m.size);
    return 0;
}

// Appends the records of members in their order. With more than one job, runs of members up
// to PARALLEL_MEMBER_MAX each are packed in batches, jobs at a time, into memory and written
// in order once the batch is done; larger members, and all with one job, go straight to out.
// The bytes written are the same either way.
int write_records(FILE *out, const std::vector<member_source> &members, int jobs,
                  kvp_progress *progress) {
    size_t i = 0;
    while (i < members.size()) {
        if (jobs == 1 || members[i].size > PARALLEL_MEMBER_MAX) {
            if (write_record(out, members[i], progress)) return 1;
            i++;
            continue;
        }
        size_t end = i;
        uint64_t input = 0;
        while (end < members.size() && members[end].size <= PARALLEL_MEMBER_MAX &&
               (end == i || input + members[end].size <= BATCH_BYTES)) {
            input += members[end].size;
            end++;
        }
        std::vector<packed_member> results(end - i);
        member_batch batch = {&members[i], results.data(), results.size(), {0}};
        kvp_run_parallel((int)std::min<size_t>((size_t)jobs, results.size()), pack_batch, &batch);
        int failed = 0;
        for (size_t k = 0; k < results.size(); k++) {
            if (!failed) failed = write_packed(out, members[i + k], results[k], progress);
            lza_byte_buffer_free(&results[k].data);
        }
        if (failed) return 1;
        i = end;
    }
    return 0;
}

// Writes data then the records of members to a temporary file, renamed to path when complete.
int write_output(const fs::path &path, const std::vector<unsigned char> &prefix,
                 const std::vector<member_source> &members, int jobs, kvp_progress *progress) {
    fs::path temp = path;
    temp += ".tmp";
    FILE *out = kvp_open(temp, "wb");
    if (!out) return kvp_fail("%s: cannot be created", kvp_path_display(temp).c_str());
    int failed = !prefix.empty() && fwrite(prefix.data(), 1, prefix.size(), out) != prefix.size()
                     ? kvp_fail("%s: cannot be written", kvp_path_display(temp).c_str())
                     : 0;
    if (!failed) failed = write_records(out, members, jobs, progress);
    if (fclose(out) != 0 && !failed)
        failed = kvp_fail("%s: cannot be written", kvp_path_display(temp).c_str());
    std::error_code ec;
    if (!failed) {
        fs::rename(temp, path, ec);
        if (ec) failed = kvp_fail("%s: %s", kvp_path_display(path).c_str(), ec.message().c_str());
    }
    if (failed) fs::remove(temp, ec);
    return failed;
}

} // namespace

int cmd_pack(int argc, char **argv) {
    for (int i = 1; i < argc; i++)
        if (kvp_is_help(argv[i])) return fputs(usage, stdout), 0;
    pack_options o;
    if (parse_options(argc, argv, &o)) return 1;
    std::vector<member_source> members;
    if (collect_members(o, &members) || check_members(members)) return 1;
    kvp_identity identity;
    std::vector<kvp_identity_member> views;
    for (member_source &m : members) views.push_back({&m.name, &m.path, &m.size});
    if (kvp_identity_members(o.has_icon ? &o.icon : nullptr, views, o.output, &identity)) return 1;

    std::vector<unsigned char> stub;
    fs::path stub_path;
    if (!o.bare) {
        stub_path = o.stub;
        if (!o.has_stub && kvp_default_stub(o.arch, &stub_path)) return 1;
        kvp_signature signature;
        if (kvp_find_signature(stub_path, &signature) == 1)
            return kvp_fail("stub %s is signed: pack first, then sign the installer (a signature "
                            "cannot cover what is appended after it)",
                            kvp_path_display(stub_path).c_str());
        if (load_stub(stub_path, &stub)) return 1;
        if (kvp_identity_stub(identity, o.output, stub_path, &stub)) return 1;
        const uint64_t stub_size = stub.size();
        if (stub_size > 0xFFFFFFFFull) return kvp_fail("stub larger than 4 GiB");
        if (patch_marker(&stub, stub_path, o.pck ? 0 : (uint32_t)stub.size()) ||
            patch_digest(&stub, stub_path, nullptr))
            return 1;
    }
    if (lint_script(members, o.strict, o.force)) return 1;
    uint64_t total = 0;
    for (const member_source &m : members) total += m.size;
    kvp_progress progress;
    kvp_progress_start(&progress, total, o.quiet);
    fs::path records = o.output;
    int failed;
    if (o.pck) {
        std::string text;
        kvp_path_text(o.output, &text);
        std::vector<char> pck(text.begin(), text.end());
        pck.resize(text.size() + 8, 0);
        lza_pck_path(pck.data(), pck.size());
        records = kvp_text_path(pck.data());
        if (records == o.output) return kvp_fail("pack: --pck needs an OUTPUT with an extension");
        // The stub carries the digest of the .pck as written, so that a signature over the
        // stub covers the archive too, and the installer refuses a .pck changed since.
        unsigned char digest[LZA_DIGEST_SIZE];
        failed = write_output(records, {}, members, o.jobs, &progress);
        if (!failed && !kvp_file_sha256(records, digest))
            failed = kvp_fail("%s: cannot be read back", kvp_path_display(records).c_str());
        if (!failed)
            failed = patch_digest(&stub, stub_path, digest) ||
                     write_output(o.output, stub, {}, o.jobs, &progress);
    } else {
        failed = write_output(o.output, stub, members, o.jobs, &progress);
    }
    kvp_progress_end(&progress);
    if (failed) return 1;
    if (!o.quiet) {
        std::error_code ec;
        const uintmax_t size = fs::file_size(records, ec);
        const uint64_t packed = size - (o.pck ? 0 : stub.size());
        printf("%s: %zu members, %llu bytes in, %llu bytes of records (%.1f%%)\n",
               kvp_path_display(records).c_str(), members.size(), (unsigned long long)total,
               (unsigned long long)packed, total ? 100.0 * (double)packed / (double)total : 0.0);
    }
    return 0;
}
