// Signatures as an attacker meets them: installers signed here with a throw-away certificate,
// then broken, forged, cut short or parted from their .pck. kvpack verify must approve exactly
// the sound ones and say why not in one line, and osslsigncode verify, an independent reader,
// must agree wherever it sees the same bytes (it never sees a .pck).
#include "archive/lza_format.h"
#include "archive/lza_sha256.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

uint32_t get32(const bytes &b, size_t at) {
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
           (uint32_t)b[at + 3] << 24;
}
void put32(bytes *b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) (*b)[at + i] = (unsigned char)(v >> (8 * i));
}
void put_text(bytes *b, size_t at, const std::string &text) {
    memcpy(b->data() + at, text.c_str(), text.size() + 1);
}

// A PE32 image of headers and one data section holding both markers: what the packer needs
// of a stub, and enough for osslsigncode to sign.
bytes make_stub() {
    bytes b(0x400, 0);
    b[0] = 'M', b[1] = 'Z';
    put32(&b, 0x3c, 0x40);
    put_text(&b, 0x40, "PE");
    const size_t coff = 0x44, optional = 0x58, section = optional + 224;
    put32(&b, coff, 0x0001014c);      // i386, one section
    put32(&b, coff + 16, 0x010200e0); // optional header of 224 bytes; executable
    put32(&b, optional, 0x010b);      // PE32
    put32(&b, optional + 16, 0x1000); // entry point
    put32(&b, optional + 28, 0x400000);
    put32(&b, optional + 32, 0x1000); // section alignment
    put32(&b, optional + 36, 0x200);  // file alignment
    put32(&b, optional + 48, 4);      // subsystem version
    put32(&b, optional + 56, 0x2000); // size of image
    put32(&b, optional + 60, 0x200);  // size of headers
    put32(&b, optional + 68, 2);      // GUI
    put32(&b, optional + 92, 16);     // data directories
    put_text(&b, section, ".data");
    put32(&b, section + 8, 0x200);
    put32(&b, section + 12, 0x1000);
    put32(&b, section + 16, 0x200);
    put32(&b, section + 20, 0x200);
    put32(&b, section + 36, 0xC0000040);
    put_text(&b, 0x200, std::string(LZA_MARKER_PREFIX) + "00000000");
    put_text(&b, 0x240, LZA_DIGEST_MARKER_PREFIX + std::string(64, '0'));
    return b;
}

// Where signing put things in a PE.
struct pe_layout {
    size_t checksum, directory, table, table_size;
};
pe_layout layout_of(const bytes &b) {
    const size_t optional = get32(b, 0x3c) + 24;
    const bool plus = b[optional + 1] == 0x02;
    pe_layout l;
    l.checksum = optional + 64;
    l.directory = optional + (plus ? 112 : 96) + 32;
    l.table = get32(b, l.directory);
    l.table_size = get32(b, l.directory + 4);
    return l;
}

// The Authenticode SHA-256 of b, as a signer computes it.
bytes authenticode_digest(const bytes &b) {
    const pe_layout l = layout_of(b);
    lza_sha256 s;
    lza_sha256_start(&s);
    lza_sha256_add(&s, b.data(), l.checksum);
    lza_sha256_add(&s, b.data() + l.checksum + 4, l.directory - l.checksum - 4);
    lza_sha256_add(&s, b.data() + l.directory + 8, l.table - l.directory - 8);
    bytes digest(32);
    lza_sha256_finish(&s, digest.data());
    return digest;
}

size_t find(const bytes &b, const bytes &needle, bool last = false) {
    auto at = last ? std::find_end(b.begin(), b.end(), needle.begin(), needle.end())
                   : std::search(b.begin(), b.end(), needle.begin(), needle.end());
    EXPECT_NE(at, b.end()) << "pattern not found";
    return (size_t)(at - b.begin());
}

// unsigned_file with the certificate table of signed_file behind it, padded as signing pads,
// and extra bytes appended to the table, which the directory then claims too.
bytes graft_table(const bytes &signed_file, const bytes &unsigned_file, const bytes &extra = {}) {
    const pe_layout l = layout_of(signed_file);
    bytes out = unsigned_file;
    out.resize((out.size() + 7) / 8 * 8, 0);
    const size_t table = out.size();
    out.insert(out.end(), signed_file.begin() + (long)l.table, signed_file.end());
    out.insert(out.end(), extra.begin(), extra.end());
    put32(&out, l.directory, (uint32_t)table);
    put32(&out, l.directory + 4, (uint32_t)(out.size() - table));
    return out;
}

struct signing {
    temp_folder t;
    std::string dir(const std::string &name) const { return t.file(name); }
    command_result run(const std::string &command) {
        command_result r = run_command(command);
        EXPECT_EQ(r.code, 0) << command << "\n" << r.output;
        return r;
    }
    void pack(const std::string &options, const std::string &out, const std::string &product) {
        fs::create_directories(fs::path(out).parent_path());
        run(std::string(KVPACK_PATH) + " pack --quiet --stub " + dir("stub.exe") + " " + options +
            " -o " + out + " " + dir(product));
    }
    void sign(const std::string &in, const std::string &out, const std::string &options = "") {
        run("osslsigncode sign " + options + "-certs " + dir("cert.pem") + " -key " +
            dir("key.pem") + " -in " + in + " -out " + out);
    }
};

void make_product(const std::string &dir, char fill) {
    fs::create_directories(dir);
    const std::string script = "steps\r\n{\r\nshowwelcome\r\nstartinstall\r\n}\r\n";
    write_file(dir + "/setup.txt", bytes(script.begin(), script.end()));
    bytes data(3000);
    for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)(i * 7 % 251 + fill);
    write_file(dir + "/data.bin", data);
}

} // namespace

TEST(HostileSignature, VerifyApprovesOnlySoundSignatures) {
    signing s;
    write_file(s.dir("stub.exe"), make_stub());
    make_product(s.dir("product"), 0);
    make_product(s.dir("replaced"), 1); // data.bin of the same size, other bytes
    for (const char *name : {"", "other-"})
        s.run("openssl req -x509 -newkey rsa:2048 -days 2 -nodes -subj '/CN=Korvex " +
              std::string(*name ? "stranger" : "hostile test") + "' -keyout " +
              s.dir(std::string(name) + "key.pem") + " -out " +
              s.dir(std::string(name) + "cert.pem") + " 2>&1");

    s.pack("", s.dir("setup.exe"), "product");
    s.pack("", s.dir("replaced.exe"), "replaced");
    s.sign(s.dir("setup.exe"), s.dir("signed.exe"));
    s.sign(s.dir("signed.exe"), s.dir("nested.exe"), "-nest ");
    const bytes good = read_file(s.dir("signed.exe"));
    const bytes replaced = read_file(s.dir("replaced.exe"));
    const pe_layout l = layout_of(good);

    // The three --pck installers: as packed, with the .pck changed, and a stub from before
    // digests (its digest zeroed before signing).
    s.pack("--pck", s.dir("pck/setup.exe"), "product");
    s.sign(s.dir("pck/setup.exe"), s.dir("pck/signed.exe"));
    fs::copy_file(s.dir("pck/setup.pck"), s.dir("pck/signed.pck"));
    fs::create_directories(s.dir("pck/changed"));
    fs::copy_file(s.dir("pck/signed.exe"), s.dir("pck/changed/setup.exe"));
    s.pack("--pck", s.dir("pck/changed/other.exe"), "replaced");
    fs::copy_file(s.dir("pck/changed/other.pck"), s.dir("pck/changed/setup.pck"));
    bytes old = read_file(s.dir("pck/setup.exe"));
    put_text(&old, 0x240, LZA_DIGEST_MARKER_PREFIX + std::string(64, '0'));
    fs::create_directories(s.dir("pck/old"));
    write_file(s.dir("pck/old/unsigned.exe"), old);
    s.sign(s.dir("pck/old/unsigned.exe"), s.dir("pck/old/setup.exe"));
    fs::copy_file(s.dir("pck/setup.pck"), s.dir("pck/old/setup.pck"));

    bytes flipped = good; // a byte inside the RSA signature value (the last 256-byte string)
    flipped[find(flipped, {0x04, 0x82, 0x01, 0x00}, true) + 4 + 100] ^= 1;
    bytes content = good; // a byte of the image changed and its digest put in the signed content
    const size_t signed_digest = find(content, [&] {
        bytes d = {0x04, 0x20};
        bytes digest = authenticode_digest(good);
        d.insert(d.end(), digest.begin(), digest.end());
        return d;
    }());
    content[0x300] ^= 1;
    const bytes forged_digest = authenticode_digest(content);
    std::copy(forged_digest.begin(), forged_digest.end(),
              content.begin() + (long)signed_digest + 2);
    const bytes grafted = graft_table(good, replaced);
    bytes appended_digest = {0x04, 0x20};
    const bytes grafted_digest = authenticode_digest(grafted);
    appended_digest.insert(appended_digest.end(), grafted_digest.begin(), grafted_digest.end());
    appended_digest.resize(40, 0);
    bytes truncated(good.begin(), good.end() - 100);
    bytes appended = good;
    appended.insert(appended.end(), {'e', 'x', 't', 'r', 'a'});
    write_file(s.dir("flipped.exe"), flipped);
    write_file(s.dir("content.exe"), content);
    write_file(s.dir("grafted.exe"), grafted);
    write_file(s.dir("grafted-digest.exe"), graft_table(good, replaced, appended_digest));
    write_file(s.dir("truncated.exe"), truncated);
    write_file(s.dir("appended.exe"), appended);
    ASSERT_GT(l.table, 0u);

    struct {
        const char *name, *file, *ca; // ca: the trust store given to both readers
        bool pass_ca;                 // kvpack gets --ca-file too
        int code;
        const char *says, *never;
        int osslsigncode; // its verify's exit code on the same file
    } rows[] = {
        {"good", "signed.exe", "cert.pem", false, 0, "signer not checked against a trust store",
         "kvpack:", 0},
        {"good, the signer printed", "signed.exe", "cert.pem", false, 0,
         "signer:  CN=Korvex hostile test", "kvpack:", 0},
        {"good, chain checked", "signed.exe", "cert.pem", true, 0, "chain verified against",
         "not checked", 0},
        {"a nested second signature", "nested.exe", "cert.pem", false, 0,
         "1 more signature present, not verified", "kvpack:", 0},
        {"signer from another trust store", "signed.exe", "other-cert.pem", true, 1,
         "kvpack: " /* one line */, "signature verified", 1},
        {"one byte flipped in the signature value", "flipped.exe", "cert.pem", false, 1,
         "the signature is broken", "signature verified", 1},
        {"signed content forged to the changed file's digest", "content.exe", "cert.pem", false, 1,
         "the signature is broken", "signature verified", 1},
        {"member replaced, its digest appended to an enlarged table", "grafted-digest.exe",
         "cert.pem", false, 1, "no longer covers the file", "signature verified", 1},
        {"member replaced, table untouched", "grafted.exe", "cert.pem", false, 1,
         "no longer covers the file", "signature verified", 1},
        {"certificate table truncated", "truncated.exe", "cert.pem", false, 1,
         "past the end of the file", "signature verified", 1},
        {"bytes appended after signing", "appended.exe", "cert.pem", false, 1,
         "bytes follow the certificate table", "signature verified", 1},
        {"unsigned (osslsigncode: nothing to verify)", "setup.exe", "cert.pem", false, 0,
         "not signed", "kvpack:", 1},
        {"--pck as packed", "pck/signed.exe", "cert.pem", false, 0,
         "the signature covers the archive through it", "kvpack:", 0},
        {"--pck changed after packing (osslsigncode cannot see it)", "pck/changed/setup.exe",
         "cert.pem", false, 1, "changed after packing", "covers the archive", 0},
        {"--pck stub from before digests", "pck/old/setup.exe", "cert.pem", false, 0,
         "the signature does not cover the archive", "covers the archive through", 0},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string file = s.dir(row.file), ca = s.dir(row.ca);
        const command_result r = run_command(std::string(KVPACK_PATH) + " verify " + file +
                                             (row.pass_ca ? " --ca-file " + ca : ""));
        EXPECT_EQ(r.code, row.code) << r.output;
        EXPECT_NE(r.output.find(row.says), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find(row.never), std::string::npos) << r.output;
        size_t lines = 0;
        for (size_t at = r.output.find("kvpack: "); at != std::string::npos;
             at = r.output.find("kvpack: ", at + 1))
            lines++;
        EXPECT_EQ(lines, row.code ? 1u : 0u) << r.output;
        const command_result other =
            run_command("osslsigncode verify -CAfile " + ca + " -in " + file);
        EXPECT_EQ(other.code, row.osslsigncode) << other.output;
    }

    // kvpack simulate checks the .pck as the stub does, before a record is read: a changed one
    // is refused with the stub's own message and nothing is installed.
    const struct {
        const char *file;
        bool refused;
    } simulated[] = {
        {"pck/signed.exe", false}, {"pck/changed/setup.exe", true}, {"pck/old/setup.exe", false}};
    for (const auto &row : simulated) {
        SCOPED_TRACE(row.file);
        const std::string root = s.dir("root");
        fs::remove_all(root);
        const command_result r = run_command(std::string(KVPACK_PATH) + " simulate " +
                                             s.dir(row.file) + " --root " + root);
        const bool said =
            r.output.find("message [Installatie onmogelijk] Het archiefbestand "
                          "setup.pck is gewijzigd of beschadigd.") != std::string::npos;
        EXPECT_EQ(said, row.refused) << r.output;
        EXPECT_EQ(r.code == 1, row.refused) << r.output;
        EXPECT_EQ(r.output.find("UninstallLog created") == std::string::npos, row.refused)
            << r.output;
    }
}
