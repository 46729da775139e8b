#pragma once

#include <memory>
#include <string>

#include "model/model.h"

namespace CLI {
class App;
}

namespace mining {

// The version both classifier programs report.
inline constexpr const char* kProgramVersion = "1.00";

// How a classifier program names itself in --help, --version and its report.
struct ProgramInfo {
    std::string name;          // "classify"; the name in --help, --version and the report
    std::string summary;       // one line for --help, e.g. "naive Bayesian classifier"
    std::string reportSuffix;  // "_bayes": the report is BASE + reportSuffix + ".output"
    std::string helpNotes;     // more text for --help (may be empty), lines ending in '\n'
};

// What distinguishes one classifier program from another: its name, its own command-line
// options and the model they configure. The shared options (--keep-order, --seed, --help,
// --version) and BASE PERCENT are declared by the command line itself (command_line.h).
class ClassifierProgram {
public:
    virtual ~ClassifierProgram() = default;

    // Returns how the program names itself.
    virtual const ProgramInfo& info() const = 0;

    // Declares the program's own options on `app`, each once: its name, value, default, range
    // check and help. Each is bound to this program's model options, which a parse of `app`
    // sets; a bad value or a forbidden combination makes the parse throw a CLI::ParseError.
    virtual void addOptions(CLI::App& app) = 0;

    // Sets the model options back to their defaults (as before any parse).
    virtual void resetOptions() = 0;

    // Returns a fresh untrained model with the options bound so far.
    virtual std::unique_ptr<Model> makeModel() const = 0;
};

}  // namespace mining
