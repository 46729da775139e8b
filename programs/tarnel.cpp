// tarnel: the interval classifier program.
#include "cli/interval_program.h"
#include "cli/run_classifier.h"

int main(int argc, char** argv) {
    mining::IntervalProgram program;
    return mining::runClassifier(argc, argv, program);
}
