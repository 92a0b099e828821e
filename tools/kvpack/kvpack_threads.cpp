// The packer's threads over POSIX threads.
#include "kvpack_threads.h"

#include <pthread.h>
#include <vector>

namespace {

struct thread_job {
    void (*work)(void *);
    void *context;
};

void *run_job(void *job) {
    thread_job *j = static_cast<thread_job *>(job);
    j->work(j->context);
    return nullptr;
}

} // namespace

void kvp_run_parallel(int count, void (*work)(void *), void *context) {
    thread_job job = {work, context};
    std::vector<pthread_t> threads;
    for (int i = 1; i < count; i++) {
        pthread_t t;
        if (pthread_create(&t, nullptr, run_job, &job) == 0) threads.push_back(t);
    }
    work(context);
    for (pthread_t t : threads) pthread_join(t, nullptr);
}
