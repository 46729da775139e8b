// tarnel: the interval classifier program.
#include "cli/run_classifier.h"
#include "interval/interval_program.h"

int main(int argc, char** argv) {
    return mining::runClassifier(argc, argv, mining::intervalProgramInfo(),
                                 mining::makeIntervalModel);
}
