// Wizard start-up.
#include "shell/wizard.h"

#include "archive/lza_locate.h"
#include "platform/platform.h"
#include "engine/member_table.h"
#include "script/script.h"
#include "state/installer_state.h"

int wizard_locate_archive(void) {
    if (!locate_archive(&g_state)) {
        platform_message_box(TEXT_NO_ARCHIVE, CAPTION_FATAL, PLATFORM_MB_ICONERROR);
        return 0;
    }
    return 1;
}

int wizard_start(void) {
    if (!wizard_locate_archive()) return 0;
    if (!load_script(&g_state)) {
        platform_message_box(TEXT_NO_SCRIPT, CAPTION_FATAL, PLATFORM_MB_ICONERROR);
        return 0;
    }
    count_pages(&g_state);
    g_state.first_page = g_state.current_page = 0;
    g_state.choice_flags = 0;
    return 1;
}

void wizard_release(void) {
    release_script(&g_state);
    release_member_table(&g_state);
}
