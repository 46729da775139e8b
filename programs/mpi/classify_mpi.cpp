// classify-mpi: the naive Bayesian classifier over the processes mpirun or srun started.
#include "cli/bayes_program.h"
#include "cli/run_classifier.h"
#include "mpi_collective.h"

int main(int argc, char** argv) {
    mining::MpiCollective processes(argc, argv);
    mining::BayesProgram program;
    return mining::runClassifier(argc, argv, program, processes);
}
