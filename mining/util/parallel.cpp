#include "util/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace mining {

std::size_t coreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

void runTasks(std::size_t count, const std::function<void(std::size_t)>& task, bool parallel) {
    runTasksOnThreads(
        count, [&task](std::size_t i, std::size_t) { task(i); }, parallel);
}

void runTasksOnThreads(std::size_t count, const std::function<void(std::size_t, std::size_t)>& task,
                       bool parallel) {
    const std::size_t threads = parallel ? std::min(coreCount(), count) : 1;
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) task(i, 0);
        return;
    }
    std::atomic<std::size_t> next{0};
    // The first exception a task throws (out of memory, say) stops the handing out of tasks and
    // is thrown again on the calling thread once every thread is done.
    std::mutex failedLock;
    std::exception_ptr failed;
    auto work = [&](std::size_t thread) {
        try {
            for (std::size_t i = next++; i < count; i = next++) task(i, thread);
        } catch (...) {
            next = count;
            const std::lock_guard<std::mutex> lock(failedLock);
            if (!failed) failed = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    try {
        for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work, t);
    } catch (const std::system_error&) {
        // No thread could be had (a process or memory limit): the threads already started and
        // this one share the tasks, so the work is done all the same, only on fewer cores.
    }
    work(0);
    for (std::thread& h : helpers) h.join();
    if (failed) std::rethrow_exception(failed);
}

}  // namespace mining
