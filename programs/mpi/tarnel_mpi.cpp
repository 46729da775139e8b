// tarnel-mpi: the interval classifier over the processes mpirun or srun started.
#include "cli/interval_program.h"
#include "cli/run_classifier.h"
#include "mpi_collective.h"

int main(int argc, char** argv) {
    mining::MpiCollective processes(argc, argv);
    mining::IntervalProgram program;
    return mining::runClassifier(argc, argv, program, processes);
}
