#pragma once

#include <cstddef>
#include <functional>

namespace mining {

// Returns the number of cores the machine has, at least 1.
std::size_t coreCount();

// Runs task(0) .. task(count - 1), spread over up to as many threads as the machine has cores
// (the calling thread included), and returns when all are done. Tasks must be independent.
// With `parallel` false, or one core, or one task, everything runs on the calling thread; when
// no further thread can be started, the threads that could be share the tasks. When a task
// throws, no further task is started, and the first exception is thrown again here once the
// running tasks are done.
void runTasks(std::size_t count, const std::function<void(std::size_t)>& task,
              bool parallel = true);

// Like runTasks, but calls task(i, thread), where `thread` < coreCount() names the thread that
// runs task i, so that each thread can use a buffer of its own. Tasks are handed out one at a
// time to whichever thread is free.
void runTasksOnThreads(std::size_t count, const std::function<void(std::size_t, std::size_t)>& task,
                       bool parallel = true);

}  // namespace mining
