// The vendor's identity in what kvpack pack writes, read back by PE readers that share no code
// with ours (exiftool, wrestool): the version resource from the script (uninstall line, the
// product_* keys, neither, values too long, versions that are not numbers, UTF-8 and
// Windows-1252 text), the program icon from --icon (one and several images, and icon files
// that lie), the uninstaller member given the same, stubs that cannot take it, and the
// resource directory reader against damaged directories. The real x86_64 stub and uninstaller
// are the input: the mingw-x86_64 build must be there.
#include "kvpack_pe_resources.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string win64 = KV_WIN64_BUILD_DIR;

command_result kvpack(const std::string &args) {
    return run_command(std::string(KVPACK_PATH) + " " + args);
}

bytes program(const char *name) {
    const std::string path = win64 + "/" + name;
    EXPECT_TRUE(fs::exists(path)) << path << " is missing: build the mingw-x86_64 preset first";
    return read_file(path);
}

// The version resource's strings and numbers as exiftool reads them: tag to value.
std::map<std::string, std::string> exif(const std::string &file) {
    const command_result r = run_command(
        "exiftool -S -ProductName -CompanyName -FileDescription -FileVersion -ProductVersion "
        "-FileVersionNumber -ProductVersionNumber -LegalCopyright -OriginalFileName "
        "-InternalName '" +
        file + "'");
    EXPECT_EQ(r.code, 0) << r.output;
    std::map<std::string, std::string> tags;
    size_t at = 0;
    while (at < r.output.size()) {
        const size_t end = r.output.find('\n', at);
        const std::string line = r.output.substr(at, end - at);
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) tags[line.substr(0, colon)] = line.substr(colon + 2);
        at = end == std::string::npos ? r.output.size() : end + 1;
    }
    return tags;
}

// wrestool's extraction of one resource. An icon group comes back as an .ico file, cut to
// what its directory covers: wrestool writes stray bytes behind the images.
bytes extracted(const std::string &file, const std::string &type, const std::string &name,
                const std::string &to) {
    const command_result r = run_command("wrestool -x --type=" + type + " --name=" + name + " '" +
                                         file + "' > '" + to + "'");
    EXPECT_EQ(r.code, 0) << r.output;
    bytes b = read_file(to);
    if (type != "14" || b.size() < 6) return b;
    size_t end = 6;
    for (size_t k = 0; k < (size_t)(b[4] | b[5] << 8) && 6 + 16 * (k + 1) <= b.size(); k++) {
        const unsigned char *e = &b[6 + 16 * k];
        const size_t size = e[8] | e[9] << 8 | e[10] << 16, at = e[12] | e[13] << 8 | e[14] << 16;
        end = std::max(end, at + size);
    }
    b.resize(std::min(end, b.size()));
    return b;
}

void put16(bytes *b, uint32_t v) {
    b->push_back((unsigned char)v);
    b->push_back((unsigned char)(v >> 8));
}
void put32(bytes *b, uint32_t v) {
    put16(b, v);
    put16(b, v >> 16);
}

// An image of an icon: a 32-bit bitmap of size x size pixels with its mask, or PNG-like bytes.
bytes icon_image(int size, int png) {
    bytes b;
    if (png) {
        const unsigned char head[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        b.assign(head, head + 8);
        for (int i = 0; i < 200; i++) b.push_back((unsigned char)(i * 7));
        return b;
    }
    put32(&b, 40);
    put32(&b, (uint32_t)size);
    put32(&b, (uint32_t)size * 2);
    put16(&b, 1);
    put16(&b, 32);
    for (int i = 0; i < 6; i++) put32(&b, 0);
    for (int i = 0; i < size * size; i++) put32(&b, 0xFF000000u | (uint32_t)(i * 2654435761u));
    for (int i = 0; i < size * ((size + 31) / 32) * 4; i++) b.push_back(0);
    return b;
}

// An .ico file laid out as wrestool writes one: the directory, then the images in order.
bytes icon_file(const std::vector<bytes> &images, const std::vector<int> &sizes) {
    bytes b;
    put16(&b, 0);
    put16(&b, 1);
    put16(&b, (uint32_t)images.size());
    uint32_t at = 6 + 16 * (uint32_t)images.size();
    for (size_t k = 0; k < images.size(); k++) {
        b.push_back((unsigned char)(sizes[k] & 0xFF));
        b.push_back((unsigned char)(sizes[k] & 0xFF));
        b.push_back(0);
        b.push_back(0);
        put16(&b, 1);
        put16(&b, 32);
        put32(&b, (uint32_t)images[k].size());
        put32(&b, at);
        at += (uint32_t)images[k].size();
    }
    for (const bytes &image : images) b.insert(b.end(), image.begin(), image.end());
    return b;
}

// A product folder: setup.txt with the lines given, and our uninstaller.
void make_product(const std::string &dir, const std::string &lines) {
    fs::create_directories(dir);
    const std::string script = "steps\r\n{\r\nstartinstall\r\n}\r\n" + lines;
    write_file(dir + "/setup.txt", bytes(script.begin(), script.end()));
    write_file(dir + "/kvuninst.exe", program("kvuninst.exe"));
}

} // namespace

TEST(KvpackResources, VersionResourceFromScript) {
    const std::string stub = win64 + "/setup.exe";
    const std::map<std::string, std::string> korvex = exif(stub);
    ASSERT_EQ(korvex.count("ProductName"), 1u);
    const std::string long_name(300, 'n'), cut_name(255, 'n');
    const char *const AS_STUB = "(as the stub)";
    struct row {
        const char *what;
        std::string lines; // added to the script
        std::string product, company, version, numbers, copyright, message;
    } rows[] = {
        {"uninstall line",
         "uninstall=\"Acme Rocket\",\"[dest]\\kvuninst.exe\",\"Acme Corp\",\"8.1\"\r\n",
         "Acme Rocket", "Acme Corp", "8.1", "8.1.0.0", "Copyright (C) Acme Corp", ""},
        {"keys only",
         "product_name=\"Zeta Tools\"\r\nproduct_publisher=Zeta\r\nproduct_version=2024.3.1.7\r\n",
         "Zeta Tools", "Zeta", "2024.3.1.7", "2024.3.1.7", "Copyright (C) Zeta", ""},
        {"keys override the line",
         "uninstall=\"Acme\",\"[dest]\\kvuninst.exe\",\"Acme Corp\",\"1.0\"\r\n"
         "product_version=\"9.2-beta 3\"\r\nproduct_publisher=\"\"\r\n",
         "Acme", "", "9.2-beta 3", "9.2.0.0", "", ""},
        {"numbers past 65535 and a fifth part",
         "product_name=P\r\nproduct_version=1.70000.3.4.5\r\n", "P", "", "1.70000.3.4.5", "1.0.3.4",
         "", ""},
        {"not a number", "product_name=P\r\nproduct_version=\"R2 Service Pack\"\r\n", "P", "",
         "R2 Service Pack", "0.0.0.0", "", ""},
        {"UTF-8",
         "product_name=\"\xc3\x87"
         "a co\xc3\xbbte \xe2\x80\x93 \xce\x95\xce\xbb \xe4\xb8\xad\"\r\n",
         "\xc3\x87"
         "a co\xc3\xbbte \xe2\x80\x93 \xce\x95\xce\xbb \xe4\xb8\xad",
         "", "", "0.0.0.0", "", ""},
        {"Windows-1252", "product_name=\"Caf\xe9 \x80 \x96\"\r\n",
         "Caf\xc3\xa9 \xe2\x82\xac \xe2\x80\x93", "", "", "0.0.0.0", "", ""},
        {"too long", "product_name=" + long_name + "\r\n", cut_name, "", "", "0.0.0.0", "",
         "product name is longer than 255 characters"},
        {"neither", "", AS_STUB, "", "", "", "", ""},
        {"a publisher without a product", "product_publisher=Nobody\r\n", AS_STUB, "", "", "", "",
         "a publisher without a product name"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        temp_folder t;
        make_product(t.file("src"), r.lines);
        const std::string out = t.file("vendor-setup.exe");
        command_result packed =
            kvpack("pack --quiet -o " + out + " --stub " + stub + " " + t.file("src"));
        ASSERT_EQ(packed.code, 0) << packed.output;
        EXPECT_NE(packed.output.find(r.message), std::string::npos) << packed.output;
        command_result verified = kvpack("verify --quiet " + out + " --against " + t.file("src"));
        EXPECT_EQ(verified.code, 0) << verified.output;
        ASSERT_EQ(kvpack("extract --quiet " + out + " -C " + t.file("x") + " kvuninst.exe").code,
                  0);
        const std::map<std::string, std::string> setup = exif(out),
                                                 uninstaller = exif(t.file("x/kvuninst.exe"));
        if (r.product == AS_STUB) {
            EXPECT_EQ(setup, korvex);
            EXPECT_EQ(read_file(t.file("x/kvuninst.exe")), program("kvuninst.exe"));
            continue;
        }
        const std::string description = r.product.size() < 255 ? r.product + " Setup" : cut_name;
        std::map<std::string, std::string> expected = {{"ProductName", r.product},
                                                       {"FileDescription", description},
                                                       {"FileVersionNumber", r.numbers},
                                                       {"ProductVersionNumber", r.numbers},
                                                       {"OriginalFileName", "vendor-setup.exe"},
                                                       {"InternalName", "setup.exe"}};
        for (auto [tag, value] : {std::pair{"CompanyName", r.company},
                                  {"FileVersion", r.version},
                                  {"ProductVersion", r.version},
                                  {"LegalCopyright", r.copyright}})
            if (!value.empty()) expected[tag] = value;
        EXPECT_EQ(setup, expected);
        expected["FileDescription"] =
            r.product.size() < 255 ? r.product + " Uninstaller" : cut_name;
        expected["OriginalFileName"] = expected["InternalName"] = "kvuninst.exe";
        EXPECT_EQ(uninstaller, expected);
        // The other resources are the stub's, and the first icon group stays the program's.
        const command_result listed = run_command("wrestool -l " + out);
        EXPECT_NE(listed.output.find("--type=24 --name=1 "), std::string::npos);
        EXPECT_EQ(listed.output.substr(listed.output.find("--type=14 "), 21),
                  "--type=14 --name=107 ");
    }
}

TEST(KvpackResources, ProgramIcon) {
    const std::string stub = win64 + "/setup.exe";
    const bytes small = icon_image(16, 0), large = icon_image(32, 0), png = icon_image(0, 1);
    const bytes one = icon_file({large}, {32});
    const bytes three = icon_file({small, large, png}, {16, 32, 0});
    bytes truncated = three;
    truncated.resize(three.size() - 10);
    bytes count_past_end = icon_file({small}, {16});
    count_past_end[4] = 200; // two hundred entries, one there
    bytes overlapping = icon_file({small, large}, {16, 32});
    overlapping[6 + 16 + 12] = 6; // the second image starts in the directory
    overlapping[6 + 16 + 13] = 0;
    bytes not_an_image = icon_file({bytes(64, 'x')}, {16});
    bytes bitmap_file = {'B', 'M', 0, 0, 0, 0};
    struct row {
        const char *what;
        bytes icon;
        const char *refusal; // null: packs
    } rows[] = {
        {"one image", one, nullptr},
        {"three images, one PNG", three, nullptr},
        {"truncated", truncated, "image 3 lies outside the file"},
        {"count past the end", count_past_end, "200 image entries run past its end"},
        {"an image in the directory", overlapping, "image 2 overlaps the directory"},
        {"neither bitmap nor PNG", not_an_image, "image 1 is neither a bitmap nor a PNG"},
        {"a bitmap file", bitmap_file, "not an icon file"},
        {"no images", icon_file({}, {}), "holds no image"},
    };
    temp_folder base;
    const bytes groups_before[4] = {extracted(stub, "14", "108", base.file("108")),
                                    extracted(stub, "14", "109", base.file("109")),
                                    extracted(stub, "14", "113", base.file("113")),
                                    extracted(stub, "14", "3000", base.file("3000"))};
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        temp_folder t;
        make_product(t.file("src"), "product_name=Iconic\r\n");
        write_file(t.file("app.ico"), r.icon);
        const std::string out = t.file("setup.exe");
        const command_result packed = kvpack("pack --quiet -o " + out + " --stub " + stub +
                                             " --icon " + t.file("app.ico") + " " + t.file("src"));
        if (r.refusal) {
            EXPECT_EQ(packed.code, 1);
            EXPECT_NE(packed.output.find(r.refusal), std::string::npos) << packed.output;
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ASSERT_EQ(packed.code, 0) << packed.output;
        EXPECT_EQ(extracted(out, "14", "107", t.file("107.ico")), r.icon);
        const char *names[4] = {"108", "109", "113", "3000"};
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(extracted(out, "14", names[k], t.file(names[k])), groups_before[k])
                << names[k];
        ASSERT_EQ(kvpack("extract --quiet " + out + " -C " + t.file("x") + " kvuninst.exe").code,
                  0);
        EXPECT_EQ(extracted(t.file("x/kvuninst.exe"), "14", "107", t.file("u.ico")), r.icon);
        EXPECT_EQ(kvpack("verify --quiet " + out + " --against " + t.file("src")).code, 0);
    }
}

// The uninstaller's words: the script's language and text_un_ lines, each value quoted again,
// as resource 121 (RT_RCDATA) of the uninstaller member only, replacing one already there.
TEST(KvpackResources, UninstallerWordsFromScript) {
    const std::string stub = win64 + "/setup.exe";
    struct row {
        const char *what;
        std::string lines; // added to the script
        std::string words; // resource 121 of the packed uninstaller; "": none
    } rows[] = {
        {"Dutch by default", "text_next=\"Go\"\r\n", ""},
        {"a language", "language=en\r\n", "language=\"en\"\r\n"},
        {"a language and texts, one with quotes",
         "language = German\r\ntext_next=\"Weiter\"\r\ntext_un_title=\"Entfernen\"\r\n"
         "text_un_question=\"\\\"%s\\\" jetzt entfernen?\"\r\n",
         "language=\"German\"\r\ntext_un_title=\"Entfernen\"\r\n"
         "text_un_question=\"\\\"%s\\\" jetzt entfernen?\"\r\n"},
        {"texts alone", "text_un_close=\"&OK\"\r\n", "text_un_close=\"&OK\"\r\n"},
    };
    auto words_of = [](const std::string &file) {
        const command_result r =
            run_command("wrestool -x --raw --type=10 --name=121 '" + file + "'");
        EXPECT_EQ(r.code, 0) << r.output;
        return r.output;
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        temp_folder t;
        make_product(t.file("src"), r.lines);
        const std::string out = t.file("setup.exe");
        command_result packed =
            kvpack("pack --quiet -o " + out + " --stub " + stub + " " + t.file("src"));
        ASSERT_EQ(packed.code, 0) << packed.output;
        EXPECT_EQ(kvpack("verify --quiet " + out + " --against " + t.file("src")).code, 0);
        ASSERT_EQ(kvpack("extract --quiet " + out + " -C " + t.file("x") + " kvuninst.exe").code,
                  0);
        EXPECT_EQ(run_command("wrestool -l --type=10 " + out).output, "") << "the stub has none";
        const std::string packed_uninstaller = t.file("x/kvuninst.exe");
        if (r.words.empty()) {
            EXPECT_EQ(read_file(packed_uninstaller), program("kvuninst.exe"));
            continue;
        }
        EXPECT_EQ(words_of(packed_uninstaller), r.words);

        // Packed again, from the uninstaller packed before: its words replaced, not added.
        temp_folder again;
        make_product(again.file("src"), "language=fr\r\n");
        write_file(again.file("src/kvuninst.exe"), read_file(packed_uninstaller));
        ASSERT_EQ(
            kvpack("pack --quiet --bare -o " + again.file("a.pck") + " " + again.file("src")).code,
            0);
        ASSERT_EQ(kvpack("extract --quiet " + again.file("a.pck") + " -C " + again.file("x") +
                         " kvuninst.exe")
                      .code,
                  0);
        const std::string listed =
            run_command("wrestool -l --type=10 " + again.file("x/kvuninst.exe")).output;
        EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 1) << listed;
        EXPECT_EQ(words_of(again.file("x/kvuninst.exe")), "language=\"fr\"\r\n");
    }
}

// Stubs that cannot take the identity are refused when there is one, and packed as before
// when there is none; a signed uninstaller is packed as it is.
TEST(KvpackResources, StubsAndMembersThatCannotTakeIt) {
    const bytes stub = program("setup.exe");
    kvp_pe_layout pe;
    std::string why;
    ASSERT_EQ(kvp_pe_read(stub.data(), stub.size(), &pe, &why), 1) << why;
    // A section appended behind the resources, its header in the free room after the table.
    bytes extra_section = stub;
    const kvp_pe_section &last = pe.sections.back();
    unsigned char header[40] = {'.', 'e', 'x', 't', 'r', 'a'};
    const uint32_t va = last.virtual_address + 0x1000 * ((last.virtual_size + 0xFFF) / 0x1000);
    memcpy(header + 12, &va, 4);
    const uint32_t raw = 0x200, at = (uint32_t)stub.size();
    memcpy(header + 8, &raw, 4);
    memcpy(header + 16, &raw, 4);
    memcpy(header + 20, &at, 4);
    ASSERT_LE(last.header_at + 80, pe.sections.front().raw_offset);
    memcpy(&extra_section[last.header_at + 40], header, 40);
    uint32_t pe_at;
    memcpy(&pe_at, &stub[0x3c], 4);
    extra_section[pe_at + 6]++; // NumberOfSections
    extra_section.resize(stub.size() + raw, 0);
    bytes appended = stub;
    appended.insert(appended.end(), 100, 'A');
    const std::string marker = "SelfExtractorIndex=00000000";
    const std::string not_pe = "MZ" + std::string(200, 'z') + marker + std::string(1, '\0');
    struct row {
        const char *what;
        bytes stub;
        const char *refusal;
    } rows[] = {
        {"resources not last", extra_section, "not the last section of the image"},
        {"data behind the image", appended, "data follows its last section"},
        {"no PE header", bytes(not_pe.begin(), not_pe.end()), "not a Windows program"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        temp_folder t;
        make_product(t.file("src"), "");
        write_file(t.file("stub.exe"), r.stub);
        const std::string pack = "pack --quiet -o " + t.file("out.exe") + " --stub " +
                                 t.file("stub.exe") + " " + t.file("src");
        EXPECT_EQ(kvpack(pack).code, 0) << "without an identity the stub is taken as it is";
        write_file(t.file("src/setup.txt"), {'p', 'r', 'o', 'd', 'u', 'c', 't', '_', 'n', 'a', 'm',
                                             'e', '=', 'X', '\r', '\n'});
        const command_result refused = kvpack(pack);
        EXPECT_EQ(refused.code, 1);
        EXPECT_NE(refused.output.find(r.refusal), std::string::npos) << refused.output;
    }

    // A signed uninstaller keeps its signature: packed byte for byte, with a warning.
    temp_folder t;
    make_product(t.file("src"), "product_name=Signed\r\n");
    ASSERT_EQ(run_command("cd " + t.path +
                          " && openssl req -x509 -newkey rsa:2048 -keyout key.pem -out cert.pem "
                          "-days 2 -nodes -subj /CN=test >/dev/null 2>&1 && osslsigncode sign "
                          "-certs cert.pem -key key.pem -in src/kvuninst.exe -out signed.exe "
                          ">/dev/null && mv signed.exe src/kvuninst.exe")
                  .code,
              0);
    const command_result packed = kvpack("pack --quiet -o " + t.file("out.exe") + " --stub " +
                                         win64 + "/setup.exe " + t.file("src"));
    ASSERT_EQ(packed.code, 0) << packed.output;
    EXPECT_NE(packed.output.find("kvuninst.exe: the uninstaller is packed as it is"),
              std::string::npos)
        << packed.output;
    ASSERT_EQ(kvpack("extract --quiet " + t.file("out.exe") + " -C " + t.file("x") + " *.exe").code,
              0);
    EXPECT_EQ(read_file(t.file("x/kvuninst.exe")), read_file(t.file("src/kvuninst.exe")));
}

// The reader against the real stub: the linker's checksum recomputed, the directory rebuilt
// unchanged gives wrestool the same resources, and damaged directories are refused.
TEST(KvpackResources, DirectoryReadAndRebuilt) {
    const bytes stub = program("setup.exe");
    kvp_pe_layout pe;
    std::string why;
    ASSERT_EQ(kvp_pe_read(stub.data(), stub.size(), &pe, &why), 1) << why;
    uint32_t stored;
    memcpy(&stored, &stub[pe.checksum_at], 4);
    EXPECT_EQ(kvp_pe_checksum(stub.data(), stub.size(), pe.checksum_at), stored);
    EXPECT_EQ(pe.machine, 0x8664);
    ASSERT_EQ(kvp_pe_resources_last(pe, stub.size(), &why), 1) << why;
    std::vector<kvp_resource> resources;
    ASSERT_EQ(kvp_resources_read(stub.data(), stub.size(), pe, &resources, &why), 1) << why;
    EXPECT_EQ(resources.size(), 22u);

    bytes rebuilt = stub;
    ASSERT_EQ(kvp_pe_replace_resources(&rebuilt, pe, resources, &why), 1) << why;
    temp_folder t;
    write_file(t.file("a.exe"), stub);
    write_file(t.file("b.exe"), rebuilt);
    const std::string a = run_command("wrestool -l " + t.file("a.exe")).output;
    const std::string b = run_command("wrestool -l " + t.file("b.exe")).output;
    auto without_offsets = [](std::string s) {
        for (size_t at; (at = s.find(" offset=")) != std::string::npos;)
            s.erase(at, s.find(' ', at + 1) - at);
        return s;
    };
    EXPECT_EQ(without_offsets(a), without_offsets(b));
    for (const kvp_resource &r : resources) {
        const std::string type = std::to_string(r.type.id), name = std::to_string(r.name.id);
        EXPECT_EQ(extracted(t.file("b.exe"), type, name + " --raw", t.file("b.res")),
                  extracted(t.file("a.exe"), type, name + " --raw", t.file("a.res")))
            << type << "/" << name;
    }

    // Damage at fixed places of the directory: the first type entry, its subtable's header,
    // and the first data entry (found through the tree as the reader walks it).
    const kvp_pe_section &sec = pe.sections[(size_t)pe.resource_section];
    const size_t base = sec.raw_offset;
    uint32_t table2, table3, entry;
    memcpy(&table2, &stub[base + 16 + 4], 4);
    table2 &= 0x7FFFFFFF;
    memcpy(&table3, &stub[base + table2 + 16 + 4], 4);
    table3 &= 0x7FFFFFFF;
    memcpy(&entry, &stub[base + table3 + 16 + 4], 4);
    struct row {
        const char *what;
        size_t at;
        uint32_t value;
        const char *why;
    } rows[] = {
        {"type subtable outside", base + 16 + 4, 0x8FFFFFF0u, "type's entry points outside"},
        {"type entry without subtable", base + 16 + 4, 0x10, "type's entry points outside"},
        {"name subtable loops to the root", base + table2 + 16 + 4, 0x80000000u,
         "data entry is missing"},
        {"too many names", base + table2 + 14, 0xFFFF, "type's entry points outside"},
        {"data entry outside", base + table3 + 16 + 4, sec.raw_size, "missing or misplaced"},
        {"data before the section", base + entry, sec.virtual_address - 4, "outside the resource"},
        {"data past the section", base + entry + 4, sec.raw_size, "outside the resource"},
        {"named type outside", base + 16, 0xFFFFFFF0u, "type's entry points outside"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        bytes damaged = stub;
        memcpy(&damaged[r.at], &r.value, 4);
        if (strstr(r.what, "too many")) memcpy(&damaged[r.at], &r.value, 2);
        why.clear();
        EXPECT_EQ(kvp_resources_read(damaged.data(), damaged.size(), pe, &resources, &why), 0);
        EXPECT_NE(why.find(r.why), std::string::npos) << why;
    }

    // Subtables shared by every entry: 444 types, each the same 444 names, each with no
    // language. Nothing is out of place, but the walk is bounded by the entries it visits.
    bytes shared = stub;
    const uint32_t n = 444, table_size = 16 + 8 * n, subtable = 0x80000000u;
    auto table = [&](uint32_t at, uint32_t count, uint32_t target) {
        memset(&shared[base + at], 0, 16);
        memcpy(&shared[base + at + 14], &count, 2);
        for (uint32_t k = 0; k < count; k++) {
            memcpy(&shared[base + at + 16 + 8 * k], &k, 4);
            memcpy(&shared[base + at + 16 + 8 * k + 4], &target, 4);
        }
    };
    ASSERT_LE(3 * table_size, sec.raw_size);
    table(0, n, subtable | table_size);
    table(table_size, n, subtable | 2 * table_size);
    table(2 * table_size, 0, 0);
    why.clear();
    EXPECT_EQ(kvp_resources_read(shared.data(), shared.size(), pe, &resources, &why), 0);
    EXPECT_NE(why.find("more resources than any program holds"), std::string::npos) << why;
}
