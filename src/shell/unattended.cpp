// The unattended install: its command line, its start-up without a wizard, its exit code.
#include "shell/unattended.h"

#include "archive/lza_locate.h"
#include "engine/install_run.h"
#include "engine/member_table.h"
#include "script/script.h"
#include "shell/destination.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

int blank(char c) {
    return c == ' ' || c == '\t';
}

// 1 when text begins with option (upper case), ignoring case.
int starts_with_option(const char *text, const char *option) {
    for (; *option; text++, option++)
        if (ascii_upper(*text) != *option) return 0;
    return 1;
}

// The folder of /D=: the rest of the line without trailing blanks (or line ends) and without
// one pair of enclosing quotes, which no Windows path can hold.
void take_destination(const char *rest, unattended_command *out) {
    size_t n = strlen(rest);
    while (n > 0 && (blank(rest[n - 1]) || rest[n - 1] == '\r' || rest[n - 1] == '\n')) n--;
    if (n >= 2 && rest[0] == '"' && rest[n - 1] == '"') {
        rest++;
        n -= 2;
    }
    if (n >= sizeof out->dest) { // a folder cut short would be another folder: refused
        out->dest_too_long = 1;
        return;
    }
    memcpy(out->dest, rest, n);
    out->dest[n] = 0;
}

// A check box of the folder page as the wizard starts it: ticked when field 1 of the key's
// line is the keyword true. Its choice, or 0.
uint32_t script_ticks(installer_state *state, uint32_t key, uint32_t choice) {
    char word[SCRIPT_BRACKET_CAPACITY];
    int ticked = get_field(state, key, 1, word, sizeof word) && lookup_keyword(word) == KW_TRUE;
    return ticked ? choice : 0;
}

// 1 when the wizard's steps reach a startinstall page, where a person would start the install.
int has_start_page(installer_state *state) {
    for (int k = 0;; k++) {
        uint32_t page = list_item_id(state, KW_STEPS, k);
        if (page == KW_NONE) return 0;
        if (page == KW_STARTINSTALL) return 1;
    }
}

} // namespace

int is_unattended_command(const char *command_line) {
    return command_line && command_line[0] == '/' && ascii_upper(command_line[1]) == 'S';
}

void parse_unattended_command(const char *command_line, unattended_command *out) {
    memset(out, 0, sizeof *out);
    if (!is_unattended_command(command_line)) return;
    const char *p = command_line + 2;
    for (;;) {
        while (blank(*p)) p++;
        if (!*p) return;
        if (starts_with_option(p, "/D=")) {
            take_destination(p + 3, out);
            return;
        }
        const char *end = p;
        while (*end && !blank(*end)) end++;
        if (end - p == 2 && starts_with_option(p, "/O")) out->overwrite = 1;
        p = end; // any other word is no option of ours
    }
}

int unattended_exit_code(int run_result, int32_t messages_logged) {
    if (run_result != RUN_COMPLETE) return UNATTENDED_STOPPED;
    return messages_logged ? UNATTENDED_ERRORS : UNATTENDED_OK;
}

void unattended_request(installer_state *state, const unattended_command *command,
                        install_request *request) {
    memset(request, 0, sizeof *request);
    read_default_dest(state);
    text_copy(request->dest, sizeof request->dest,
              command->dest[0] ? command->dest : state->dest_path);
    request->choice_flags = script_ticks(state, KW_PROGRAMGROUPYESNO, CHOICE_STARTMENU) |
                            script_ticks(state, KW_DESKTOPYESNO, CHOICE_DESKTOP);
    if (script_find_key(state->script_text, KW_EXTRAREG01) >= 0)
        request->choice_flags |= script_ticks(state, KW_EXTRAREG01, CHOICE_EXTRAREG);
    request->answers = command->overwrite ? INSTALL_YES_TO_ALL : INSTALL_NO_TO_ALL;
    request->unattended = 1;
}

int unattended_install_located(installer_state *state, const unattended_command *command) {
    if (command->dest_too_long) return UNATTENDED_BAD_DESTINATION;
    if (!load_script(state)) return UNATTENDED_NO_SCRIPT;
    // No destination, no log: a run that installs nothing leaves no trace, and the exit code
    // is what a deployment tool reads of a program without a console.
    int code = UNATTENDED_NO_START_PAGE;
    if (has_start_page(state)) {
        install_request request;
        unattended_request(state, command, &request);
        int result = install_run(state, &request, nullptr);
        code = unattended_exit_code(result, state->messages_logged);
    }
    release_script(state);
    release_member_table(state);
    release_archive_guard(state);
    return code;
}

int unattended_install(installer_state *state, const unattended_command *command) {
    if (command->dest_too_long) return UNATTENDED_BAD_DESTINATION;
    const int located = locate_archive(state);
    if (located == LZA_LOCATE_MISSING) return UNATTENDED_NO_ARCHIVE;
    if (located == LZA_LOCATE_CHANGED) return UNATTENDED_ARCHIVE_CHANGED;
    return unattended_install_located(state, command);
}

int run_unattended(installer_state *state, const char *command_line) {
    unattended_command command;
    parse_unattended_command(command_line, &command);
    return unattended_install(state, &command);
}
