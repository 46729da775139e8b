#pragma once

#include "cli/program.h"
#include "util/collective.h"

namespace mining {

// The whole run of a classifier program: `NAME [options] BASE PERCENT`.
//
// Reads the command line (command_line.h) with `program`'s options, reads BASE.data (+
// BASE.names), splits, trains the model `program` makes, evaluates it on the test records (on
// the training records when none are left for testing, and says so), and writes the report to
// BASE<suffix>.output atomically (a temporary file in the same folder renamed into place).
// Prints nothing on success.
// On an error: writes a report whose first line is "Error: " and the message, prints that line
// on stderr, and returns 1 (2 for a usage error, which writes the report only when BASE and
// PERCENT were both given, and adds the usage line on stderr); when the report itself cannot
// be written, the message goes to stderr alone. --help and --version print to stdout and
// return 0. No usage error touches a data file.
// Returns the process exit status.
int runClassifier(int argc, char** argv, ClassifierProgram& program);

// As above, as one of the processes of `cluster` (started by mpirun or srun): each process reads
// its share of the records; the first process (rank 0) does the rest and writes every file and
// message, the same as the program on one process with --time-limit 0; the others print and
// write nothing. --time-limit other than 0 is a usage error. Returns the process exit status.
int runClassifier(int argc, char** argv, ClassifierProgram& program, Collective& cluster);

}  // namespace mining
