#include "data/rethrowing_tasks.h"

#include <exception>
#include <vector>

#include "util/parallel.h"

namespace mining {

void runTasksRethrowing(std::size_t count, const std::function<void(std::size_t)>& task) {
    std::vector<std::exception_ptr> thrown(count);
    runTasks(count, [&](std::size_t i) {
        try {
            task(i);
        } catch (...) {
            thrown[i] = std::current_exception();
        }
    });
    for (const std::exception_ptr& e : thrown)
        if (e) std::rethrow_exception(e);
}

}  // namespace mining
