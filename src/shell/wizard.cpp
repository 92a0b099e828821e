// Wizard start-up.
#include "shell/wizard.h"

#include "archive/lza_locate.h"
#include "platform/platform.h"
#include "shell/installer_state.h"

int wizard_start(void) {
    if (!locate_archive(&g_state)) {
        platform_message_box(TEXT_NO_ARCHIVE, CAPTION_FATAL, PLATFORM_MB_ICONERROR);
        return 0;
    }
    return 1;
}
