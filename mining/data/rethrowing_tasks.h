#pragma once

#include <cstddef>
#include <functional>

namespace mining {

// Runs task(0) .. task(count - 1) as runTasks() (util/parallel.h) does, but an exception a task
// throws (std::bad_alloc when the memory runs out, say) does not end the process on the thread
// that ran it: once every task is done, the first one in task order is thrown again here, on
// the calling thread.
void runTasksRethrowing(std::size_t count, const std::function<void(std::size_t)>& task);

}  // namespace mining
