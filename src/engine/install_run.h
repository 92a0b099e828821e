// The install run: started by the wizard when Next leads onto the startinstall page, it creates
// the destination and the logs, labels the step rows and performs the script's install_steps one
// by one on the UI thread, pumping messages between units of work so the window stays alive.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;
struct platform_window;

#include "engine/step.h"

// The whole run: reads the destination and the option boxes, then calls next_install_step
// until it stops. RUN_COMPLETE when every step ran, STEP_FAILED when a failure with break
// stopped it, STEP_CANCELLED when it was cancelled.
int install_run(platform_window *window, installer_state *state);
// One call of the run: the first (step_counter 0) creates the destination and the logs and
// labels the rows; each later one performs one install_steps entry. STEP_DONE to go on,
// RUN_COMPLETE, STEP_FAILED or STEP_CANCELLED.
int next_install_step(platform_window *window, installer_state *state);
// Performs the step of keyword key. Its result; STEP_CANCELLED for a key that is no step.
int perform_step(platform_window *window, installer_state *state, uint32_t key);
// 1 when keyword key names a step the run can perform, 0 when perform_step would answer
// STEP_CANCELLED for it.
int install_step_known(uint32_t key);
