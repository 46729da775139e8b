// Fuzz target: a whole run of the naive Bayesian classifier in memory (see classifier_run.h for
// the input's form).
#include "bayes/bayes_program.h"
#include "classifier_run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const mining::ProgramInfo info = mining::bayesProgramInfo();
    fuzz::runClassifierInput(bytes, size, info, mining::makeBayesModel);
    return 0;
}
