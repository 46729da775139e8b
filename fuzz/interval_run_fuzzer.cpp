// Fuzz target: a whole run of the interval classifier in memory (see classifier_run.h for the
// input's form).
#include "classifier_run.h"
#include "cli/interval_program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static mining::IntervalProgram program;
    fuzz::runClassifierInput(bytes, size, program);
    return 0;
}
