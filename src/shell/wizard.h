// The wizard's platform-independent logic: start-up checks, page model and transitions.
// The Win32 dialog procedure calls these and only moves controls.
#pragma once

// Texts shown before any script is loaded; they have no script override.
#define TEXT_NO_ARCHIVE "Geen installatiebestanden gevonden !"
#define TEXT_NO_SCRIPT "SETUP.TXT niet gevonden"
#define CAPTION_FATAL "Installatie onmogelijk"

// Start-up of the wizard: locates the archive, loads setup.txt and counts the pages,
// reporting a missing archive or script. 1 when the wizard can go on, 0 when it must end
// (the message has been shown).
int wizard_start(void);

// At the wizard window's destruction: frees what the state record owns (script, member table).
void wizard_release(void);

// The extract dialog's start-up check: the archive alone. 1 when found, 0 when it must end.
int wizard_locate_archive(void);
