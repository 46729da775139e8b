#pragma once

#include <functional>

namespace mining {

// When a run must be done by, as a clock tells: the backstop that cuts a run's work at its next
// safe point when the machine turns out slower than the sizes planned for. Work is planned from
// sizes alone, so that a run on a machine as fast as the measured one gives the same result
// every time; the deadline lies beyond the plan's end by a margin, and only a slower or busier
// machine reaches it.
class Deadline {
public:
    // Seconds on some fixed scale; the programs use the steady clock, tests a clock of their own.
    using Clock = std::function<double()>;

    // Returns the steady clock's reading in seconds.
    static double steadySeconds();

    // No deadline: never passed.
    Deadline() = default;
    // The deadline at `at` on `clock`'s scale.
    Deadline(Clock clock, double at) : clock_(std::move(clock)), at_(at) {}

    // Returns true when there is a deadline.
    bool active() const { return static_cast<bool>(clock_); }
    // Returns the clock's reading (0 without a deadline).
    double now() const { return active() ? clock_() : 0; }
    // Returns true when less than `reserve` seconds are left before the deadline.
    bool passed(double reserve = 0) const { return active() && clock_() + reserve > at_; }

private:
    Clock clock_;
    double at_ = 0;
};

}  // namespace mining
