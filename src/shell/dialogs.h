// The stub's modal dialogs, whose templates and procedures are the stub's own: on Windows the
// dialog procedures in src/shell/win32 define these; in a native build src/shell/posix does,
// answering from the POSIX backend's hooks (platform_posix_ui.h) as a test or the packer's
// simulation says.
#pragma once

struct extract_session;
struct platform_overwrite_question;
struct platform_window;

// Initialises the common controls once at entry (the wizard's progress bar needs them).
void dialogs_init_common_controls(void);
// Runs the wizard (template 101) on g_state, modally and without an owner; its end result.
int wizard_run_dialog(void);
// Runs the extract dialog (template 116) on session, modally and without an owner; its end
// result.
int extract_run_dialog(extract_session *session);
// Asks modally, owned by owner, whether to overwrite: the PLATFORM_OVERWRITE_* answer (the
// id of the button pressed), or -1 when the question could not be shown.
int overwrite_dialog_ask(platform_window *owner, const platform_overwrite_question *question);
