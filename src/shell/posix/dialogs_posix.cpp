// The stub's dialogs in a native build: no template is shown; the POSIX backend's hooks answer
// as the test or the simulation that set them says.
#include "platform/posix/platform_posix_ui.h"
#include "resource_ids.h"
#include "shell/dialogs.h"

void dialogs_init_common_controls(void) {}

int wizard_run_dialog(void) {
    return platform_ui.run_dialog ? platform_ui.run_dialog(IDD_WIZARD, platform_ui.context) : 0;
}

int extract_run_dialog(extract_session *) {
    return platform_ui.run_dialog ? platform_ui.run_dialog(IDD_EXTRACT, platform_ui.context) : 0;
}

int overwrite_dialog_ask(platform_window *, const platform_overwrite_question *question) {
    if (platform_ui.ask_overwrite) return platform_ui.ask_overwrite(question, platform_ui.context);
    return PLATFORM_OVERWRITE_NO;
}
