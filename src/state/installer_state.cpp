// The state record and its companion globals.
#include "state/installer_state.h"

installer_state g_state;
void *module_instance;
char text_buffer[TEXT_BUFFER_CAPACITY];
int32_t window_width, window_height;
int32_t anim_frame = 1;
