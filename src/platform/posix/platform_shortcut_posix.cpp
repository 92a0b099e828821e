// POSIX backend of the shortcut seam: a Windows user profile kept under the simulated drive C:
// (the layout a Wine prefix gives it), and a link object that writes the shell's binary link
// format, so that a simulated install leaves links any Windows reader understands.
#include "platform/platform.h"
#include "platform/posix/platform_faults.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_shortcut_posix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

platform_shortcut_fault_plan platform_shortcut_faults = {0, 0, 0, 0, 0};
int platform_posix_com_depth;

namespace {

enum : size_t {
    USER_NAME_CAPACITY = 64,
    LINK_TEXT_CAPACITY = 512, // a path or text of the core: at most 511 characters
};

// Copies src (null: "") into dst of capacity cap, cut to fit.
void copy_text(char *dst, size_t cap, const char *src) {
    snprintf(dst, cap, "%s", src ? src : "");
}
char user_name[USER_NAME_CAPACITY]; // "" until set: the login name is used

// 1 when name can be the profile's folder name.
int usable_name(const char *name) {
    size_t n = name ? strlen(name) : 0;
    return n > 0 && n < USER_NAME_CAPACITY && !strpbrk(name, "\\/:*?\"<>|") && strcmp(name, ".") &&
           strcmp(name, "..");
}

// The profile's name: the one set, else the login name, else "user".
const char *profile_name() {
    if (user_name[0]) return user_name;
    const char *login = getenv("USER");
    if (usable_name(login)) return login;
    struct passwd *pw = getpwuid(getuid());
    if (pw && usable_name(pw->pw_name)) return pw->pw_name;
    return "user";
}

} // namespace

struct platform_link {
    char target[LINK_TEXT_CAPACITY];
    char working_folder[LINK_TEXT_CAPACITY];
    char icon_file[LINK_TEXT_CAPACITY];
    int icon_index;
    char description[LINK_TEXT_CAPACITY];
};

int platform_posix_set_user(const char *name) {
    if (!name || !name[0]) {
        user_name[0] = 0;
        return 1;
    }
    if (!usable_name(name)) return 0;
    copy_text(user_name, sizeof user_name, name);
    return 1;
}

int platform_special_folder_path(int folder, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    if (platform_fault_point(PLATFORM_CALL_SPECIAL_FOLDER)) return 0;
    if (platform_shortcut_faults.missing_folder == folder + 1) return 0;
    // Where Wine 8 puts them, as Windows does since Vista.
    char path[LINK_TEXT_CAPACITY];
    if (folder == PLATFORM_FOLDER_DESKTOP)
        snprintf(path, sizeof path, "C:\\users\\%s\\Desktop", profile_name());
    else if (folder == PLATFORM_FOLDER_PROGRAMS)
        snprintf(path, sizeof path,
                 "C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
                 profile_name());
    else if (folder == PLATFORM_FOLDER_COMMON_PROGRAMS)
        copy_text(path, sizeof path, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
    else if (folder == PLATFORM_FOLDER_COMMON_DESKTOP)
        copy_text(path, sizeof path, "C:\\users\\Public\\Desktop");
    else
        return 0;
    // The profile exists on Windows before any installer runs: make it on first use.
    if (strlen(path) >= cap || !platform_posix_make_folders(path)) return 0;
    copy_text(out, cap, path);
    return 1;
}

int32_t platform_com_start(void) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_COM_START))
        return platform_hresult_from_error(e);
    if (platform_shortcut_faults.com_start < 0) return platform_shortcut_faults.com_start;
    platform_posix_com_depth++;
    return PLATFORM_S_OK;
}

void platform_com_stop(void) {
    platform_posix_com_depth--;
}

int32_t platform_link_create(platform_link **out) {
    *out = nullptr;
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_LINK_CREATE))
        return platform_hresult_from_error(e);
    if (platform_shortcut_faults.link_create < 0) return platform_shortcut_faults.link_create;
    *out = new platform_link();
    return PLATFORM_S_OK;
}

void platform_link_set(platform_link *link, const platform_link_properties *p) {
    copy_text(link->target, sizeof link->target, p->target);
    copy_text(link->working_folder, sizeof link->working_folder, p->working_folder);
    copy_text(link->icon_file, sizeof link->icon_file, p->icon_file);
    link->icon_index = p->icon_index;
    copy_text(link->description, sizeof link->description, p->description);
}

int32_t platform_link_save(platform_link *link, const char *path, int *attempted) {
    *attempted = 0;
    if (platform_shortcut_faults.persist < 0) return platform_shortcut_faults.persist;
    *attempted = 1;
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_LINK_SAVE))
        return platform_hresult_from_error(e);
    if (platform_shortcut_faults.save < 0) return platform_shortcut_faults.save;
    if (strlen(path) >= PLATFORM_LINK_PATH_LIMIT) return PLATFORM_E_FILENAME_TOO_LONG;
    // The header keeps the target's size, as the shell reads it when the link is saved.
    int64_t size = 0;
    platform_file *target = platform_open_read(link->target);
    if (target) size = platform_file_size(target);
    platform_close(target);
    platform_link_properties p = {link->target, link->working_folder, link->icon_file,
                                  link->icon_index, link->description};
    unsigned char data[SHELL_LINK_CAPACITY];
    size_t n = shell_link_encode(&p, size > 0 && size <= 0xFFFFFFFF ? (uint32_t)size : 0, data,
                                 sizeof data);
    if (n == 0) return PLATFORM_E_FAIL;
    platform_file *file = platform_create_write(path);
    if (!file) return platform_hresult_from_error(platform_last_error());
    long written = platform_write(file, data, n);
    uint32_t error = platform_last_error();
    platform_close(file);
    if (written != (long)n) {
        platform_delete_file(path);
        return platform_hresult_from_error(error ? error : PLATFORM_ERROR_WRITE_FAULT);
    }
    return PLATFORM_S_OK;
}

void platform_link_release(platform_link *link) {
    delete link;
}
