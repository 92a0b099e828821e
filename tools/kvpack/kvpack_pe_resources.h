// The resources of a Windows program, read and written without any Windows API: the PE headers
// as far as the section table, the resource section's three-level directory (type, name,
// language) flattened into a list, and that list written back as a new resource section.
// Every offset and count comes from the file and is checked before use: a stub given with
// --stub and a packed member are input like any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum : uint32_t {
    KVP_RT_ICON = 3,
    KVP_RT_RCDATA = 10,
    KVP_RT_GROUP_ICON = 14,
    KVP_RT_VERSION = 16,
    KVP_PE_MAX_SECTIONS = 96, // what the loader accepts
};

struct kvp_pe_section {
    char name[9];             // as in the header, NUL-terminated
    uint32_t virtual_size;    // bytes mapped
    uint32_t virtual_address; // RVA of the first byte
    uint32_t raw_size;        // bytes stored in the file
    uint32_t raw_offset;      // file offset of the first stored byte
    uint32_t characteristics;
    size_t header_at; // file offset of this section's header
};

// What the headers say, with the offsets of the fields a rewrite changes.
struct kvp_pe_layout {
    uint16_t machine;        // 0x14c i686, 0x8664 x86_64
    int plus;                // 1: PE32+ (64-bit optional header)
    uint32_t file_alignment; // a power of two
    uint32_t section_alignment;
    size_t size_of_image_at; // file offsets of optional header fields
    size_t initialized_data_at;
    size_t checksum_at;
    size_t directories_at;    // the first data directory entry
    uint32_t directory_count; // NumberOfRvaAndSizes, at most 16
    uint32_t resource_rva;    // data directory 2 (0 when none)
    uint32_t resource_size;
    uint32_t security_size; // data directory 4: non-zero when the file is signed
    std::vector<kvp_pe_section> sections;
    int resource_section; // index into sections of the one starting at resource_rva; -1 if none
};

// A resource identifier: a number, or a name (then id is 0).
struct kvp_resource_id {
    uint32_t id;
    std::u16string name;
};

struct kvp_resource {
    kvp_resource_id type;
    kvp_resource_id name;
    uint32_t language;
    uint32_t codepage; // as the data entry gives it; 0 for nearly all
    std::vector<unsigned char> data;
};

// Reads the headers of the PE image of size bytes at data. 1 with *pe filled; 0 when it is no
// PE image or its headers or section table do not fit the file (why says which).
int kvp_pe_read(const unsigned char *data, size_t size, kvp_pe_layout *pe, std::string *why);

// 1 when the resource section can be rebuilt in place: it exists, is the last section of the
// image and of the file, and nothing (an appended archive, a signature, symbols) follows it.
// 0 otherwise, why saying what stands in the way.
int kvp_pe_resources_last(const kvp_pe_layout &pe, size_t file_size, std::string *why);

// Every resource of the image, in directory order. 1 on success (an image without a resource
// section gives none); 0 when the directory is damaged: an entry, name or data outside the
// section, a data entry where a subtable belongs or the reverse, more than 65536 resources or
// more data than twice the section holds (shared subtables or data; why set).
int kvp_resources_read(const unsigned char *data, size_t size, const kvp_pe_layout &pe,
                       std::vector<kvp_resource> *resources, std::string *why);

// Replaces the image's resource section by one holding resources (sorted as the loader's
// binary search needs), and sets the section's sizes, SizeOfImage, SizeOfInitializedData, the
// resource directory entry and the checksum. kvp_pe_resources_last must hold. 1 on success;
// 0 when the section would pass 2 GiB (why set).
int kvp_pe_replace_resources(std::vector<unsigned char> *image, const kvp_pe_layout &pe,
                             std::vector<kvp_resource> resources, std::string *why);

// The optional header's checksum of the file: 16-bit words summed with end-around carry, the
// CheckSum field itself counted as 0, plus the file's length.
uint32_t kvp_pe_checksum(const unsigned char *data, size_t size, size_t checksum_at);
