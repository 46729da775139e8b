#include "util/deadline.h"

#include <chrono>

namespace mining {

double Deadline::steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace mining
