// The install run: a function of a request. It creates the destination and the logs, labels the
// step rows and performs the script's install_steps one by one on the caller's thread, telling
// the caller's progress interface what it does and asking it between units of work whether to
// go on. It never touches a window: the wizard, setup.exe /S and the tests each hand it their
// own progress (install_request.h).
#pragma once

#include "engine/install_request.h"
#include "engine/step.h"

#include <cstdint>

struct installer_state;

// The whole run of state's script under request, reporting to progress (null: nobody looks).
// RUN_COMPLETE when every step ran, STEP_FAILED when a failure with break stopped it,
// STEP_CANCELLED when it was cancelled. However it ended, the product's uninstall entry is
// sealed with the digest of the finished log, and the logs are closed.
int install_run(installer_state *state, const install_request *request,
                const install_progress *progress);

// The parts of install_run, for a caller that drives the steps itself. install_job_begin takes
// the request into state (the destination without trailing backslashes, the choices; the
// answers for all files, cancel_requested, messages_logged and step_counter cleared) and binds
// the job's logs; install_job_end closes what the job holds and binds the logs bound before.
void install_job_begin(install_job *job, installer_state *state, const install_request *request,
                       const install_progress *progress);
void install_job_end(install_job *job);
// One call of the run: the first (step_counter 0) creates the destination and the logs and
// labels the rows; each later one performs one install_steps entry. STEP_DONE to go on,
// RUN_COMPLETE, STEP_FAILED or STEP_CANCELLED.
int next_install_step(install_job *job);
// Performs the step of keyword key. Its result; STEP_CANCELLED for a key that is no step.
int perform_step(install_job *job, uint32_t key);
// 1 when keyword key names a step the run can perform, 0 when perform_step would answer
// STEP_CANCELLED for it.
int install_step_known(uint32_t key);
