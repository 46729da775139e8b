#include "util/parallel.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace mining {

std::size_t coreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

void runTasks(std::size_t count, const std::function<void(std::size_t)>& task, bool parallel) {
    const std::size_t cores = coreCount();
    const std::size_t threads = parallel ? std::min(cores, count) : 1;
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) task(i);
        return;
    }
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) task(i);
    };
    std::vector<std::thread> helpers;
    try {
        for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    } catch (const std::system_error&) {
        // No thread could be had (a process or memory limit): the threads already started and
        // this one share the tasks, so the work is done all the same, only on fewer cores.
    }
    work();
    for (std::thread& h : helpers) h.join();
}

void runTasksOnThreads(std::size_t count, const std::function<void(std::size_t, std::size_t)>& task,
                       bool parallel) {
    const std::size_t threads = parallel ? std::min(coreCount(), count) : 1;
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) task(i, 0);
        return;
    }
    std::atomic<std::size_t> next{0};
    auto work = [&](std::size_t thread) {
        for (std::size_t i = next++; i < count; i = next++) task(i, thread);
    };
    std::vector<std::thread> helpers;
    try {
        for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work, t);
    } catch (const std::system_error&) {
        // As in runTasks: the threads that could be started share the tasks.
    }
    work(0);
    for (std::thread& h : helpers) h.join();
}

}  // namespace mining
