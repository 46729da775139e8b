#include "util/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>

namespace mining {
namespace {

// A task that runs out of memory on any thread ends the whole call with that exception, thrown
// where the tasks were started, and no further task starts: the run above turns it into its
// one-line error instead of the program dying.
TEST(Parallel, AnExceptionOfAnyTaskReachesTheCaller) {
    for (const std::size_t failing : {std::size_t{0}, std::size_t{5}, std::size_t{63}}) {
        std::atomic<std::size_t> ran{0};
        EXPECT_THROW(runTasks(64,
                              [&](std::size_t i) {
                                  ++ran;
                                  if (i == failing) throw std::bad_alloc();
                              }),
                     std::bad_alloc);
        EXPECT_LE(ran.load(), 64u);
        EXPECT_THROW(runTasksOnThreads(8,
                                       [&](std::size_t i, std::size_t) {
                                           if (i == failing % 8) throw std::runtime_error("x");
                                       }),
                     std::runtime_error);
    }
    std::atomic<std::size_t> sum{0};
    runTasks(100, [&](std::size_t i) { sum += i; });
    EXPECT_EQ(sum.load(), 4950u);
}

}  // namespace
}  // namespace mining
