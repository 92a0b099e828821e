// The wizard's platform-independent logic: start-up, the page model (which group of controls a
// page shows, the buttons' states and captions, the layout of the shown group) and the
// transitions of Next, Back/Cancel, Browse, agree/disagree and the install run. The dialog
// procedure of each platform forwards its messages here; the window operations it needs pass
// through platform_window.h, so the whole model runs natively against the POSIX backend.
#pragma once

#include "platform/platform_window.h"

#include <cstddef>
#include <cstdint>

struct installer_state;

// Texts shown before any script is loaded; they have no script override.
#define TEXT_NO_ARCHIVE "Geen installatiebestanden gevonden !"
#define TEXT_NO_SCRIPT "SETUP.TXT niet gevonden"
#define TEXT_ARCHIVE_CHANGED "Het archiefbestand %s is gewijzigd of beschadigd." // its name
#define CAPTION_FATAL "Installatie onmogelijk"

// How a dialog ends: cancelled or failed, and finished.
enum : int { WIZARD_CANCELLED = 0, WIZARD_FINISHED = 1 };

// The layout's margins: the frame reaches this far left, above and right of the group, twice
// as far below it, and the buttons stand this far under the frame.
enum : int { FRAME_MARGIN = 8 };

// Start-up of the wizard without a window: locates the archive, loads setup.txt and counts the
// pages, reporting a missing or changed archive or a missing script. 1 when the wizard can go on, 0
// when it must end (the message has been shown).
int wizard_start(void);
// At the wizard window's destruction: frees what the state record owns (script, member table,
// the archive held open).
void wizard_release(void);
// Says that the archive file of state, a .pck, differs from the digest the stub carries
// (naming the file: the stub's signature vouches for no other).
void wizard_say_archive_changed(const installer_state *state);
// The extract dialog's start-up check: the archive alone, a missing or changed one reported.
// 1 when found, 0 when it must end.
int wizard_locate_archive(void);

// Loads the banner picture at its place in the start-up (a painting of the platform's own).
typedef void (*wizard_picture_loader)(platform_window *window);

// The dialog's initialisation, in order: archive, script, pages, caption, clipping, the window
// over the work area, the folder page's texts and boxes, the licence and welcome texts, the step
// rows, the script's control texts, the banner picture (load_picture, may be null) and the
// first page. 1 when the start-up went through (the platform then gives the default focus); 0
// when a missing archive or script ended the dialog with WIZARD_CANCELLED.
int wizard_init(platform_window *window, installer_state *state,
                wizard_picture_loader load_picture);
// As wizard_init for an archive the caller has located (archive_path and archive_offset set,
// as the packer's simulation does for an installer, a .pck file or a bare archive).
int wizard_init_located(platform_window *window, installer_state *state,
                        wizard_picture_loader load_picture);

// 0 when item is an option box (5003, 5004, 5008, 5031) whose key and the list (or key) it
// switches are both missing from the script: show_page keeps it hidden with its picture, as
// the script asks nothing of it. 1 for every other box and control.
int wizard_box_used(installer_state *state, int item);
// Group base of a page keyword (showwelcome 5050, showlicense 5010, foldersettings 5000,
// startinstall 6000, finished 5030); 0 for any other value, which selects no page.
int page_group(uint32_t page);
// The Back and Next captions for the page at state->current_page, by position: Back is
// text_prev past the first page, else text_cancel; Next is text_next before page_count - 2,
// else text_close on the finished page, else text_startinstall.
void page_captions(installer_state *state, uint32_t page, char *back, size_t back_cap, char *next,
                   size_t next_cap);

// control_rect: the control's window rectangle in the wizard's client coordinates. 1 when the
// control exists, else 0 (empty rectangle).
int control_rect(platform_window *window, int item, platform_rect *out);
// With show set: centres the group of base (its existing controls base..base+9) in the client
// area, puts the page frame around it and the two buttons under it, and shows the group. With
// show clear: hides the group. Either way the banner and then the frame are restacked on top.
void layout_group(platform_window *window, int base, int show);
// Shows the page at state->current_page: the buttons' states, the other groups hidden, its own
// laid out and shown but for the boxes wizard_box_used leaves out, the captions set. 1 when
// shown; 0, with nothing changed, when the index selects no page.
int show_page(platform_window *window, installer_state *state);

// A command of the dialog (a button's id; the platform sends Back's id 2 for Escape and for
// closing the window too). 1 when handled (Next, Back, Browse, agree, disagree), else 0.
int wizard_command(platform_window *window, installer_state *state, int id);
// Next: the licence test, the next page, the install run on the start page, or the end.
void wizard_next(platform_window *window, installer_state *state);
// Back / Cancel: the end on the first page, the cancel question during the run, the end on the
// finished page (without the launch), else the page before.
void wizard_back(platform_window *window, installer_state *state);
// Browse: the folder box into dest_path, the browser, and the chosen folder into the box.
void wizard_browse(platform_window *window, installer_state *state);

// At the window's destruction: starts the installed program when choice bit 8 is set, then
// frees the script and the member table. (The banner picture is the painting's to free.)
void wizard_destroy(platform_window *window, installer_state *state);
