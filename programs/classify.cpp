// classify: the naive Bayesian classifier program.
#include "bayes/bayes_program.h"
#include "cli/run_classifier.h"

int main(int argc, char** argv) {
    return mining::runClassifier(argc, argv, mining::bayesProgramInfo(), mining::makeBayesModel);
}
