#pragma once

#include "bayes/naive_bayes.h"
#include "cli/program.h"

namespace mining {

// The classify program: a naive Bayes model whose one option is the treatment of numeric
// attributes, --normal, --discretize, --kernel or --per-attribute (they exclude each other).
class BayesProgram : public ClassifierProgram {
public:
    BayesProgram();

    // Returns name "classify", its summary, report suffix "_bayes" and the notes for --help.
    const ProgramInfo& info() const override { return info_; }
    // Declares --normal, --discretize, --kernel and --per-attribute, bound to mode() and
    // perAttribute().
    void addOptions(CLI::App& app) override;
    void resetOptions() override;
    // Returns a naive Bayes model for mode(), or one that chooses each attribute's treatment
    // when perAttribute().
    std::unique_ptr<Model> makeModel() const override;
    // Returns the three treatments of numeric attributes (the default first), then the choice
    // per attribute, unless one of them was given.
    std::vector<Candidate> candidates(const std::set<std::string>& given) const override;
    // Returns the costs of the treatment chosen (the kernel and the choice per attribute cost
    // more); naive Bayes counts no training work.
    ProgramCosts costs() const override;
    std::unique_ptr<Model> loadModel(JsonValue saved, const ModelSchema& schema) const override;

    // Returns the treatment of numeric attributes the options chose.
    NumericMode mode() const { return mode_; }
    // Returns whether each attribute's treatment is chosen on the training records.
    bool perAttribute() const { return perAttribute_; }

private:
    ProgramInfo info_;
    NumericMode mode_;
    bool perAttribute_ = false;
};

}  // namespace mining
