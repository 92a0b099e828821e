// User interface of the POSIX backend: forwarded to the hooks a test or the simulation set.
#include "platform/platform.h"
#include "platform/posix/platform_posix_ui.h"

#include <cstdio>

platform_ui_hooks platform_ui;

int platform_message_box(const char *text, const char *caption, uint32_t style) {
    if (platform_ui.message_box) return platform_ui.message_box(text, caption, style, platform_ui.context);
    fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return (style & 0xF) == PLATFORM_MB_YESNO ? PLATFORM_IDYES : PLATFORM_IDOK;
}

void platform_init_common_controls(void) {}

int platform_run_dialog(int template_id) {
    if (platform_ui.run_dialog) return platform_ui.run_dialog(template_id, platform_ui.context);
    return 0;
}
