// classify: the naive Bayesian classifier program.
#include "cli/bayes_program.h"
#include "cli/run_classifier.h"

int main(int argc, char** argv) {
    mining::BayesProgram program;
    return mining::runClassifier(argc, argv, program);
}
