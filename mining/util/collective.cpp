#include "util/collective.h"

#include <string_view>

namespace mining {

void combineMoments(Collective& collective, std::span<ExactMoments> moments) {
    if (collective.size() == 1) return;
    std::string bytes;
    for (const ExactMoments& m : moments) m.save(bytes);
    const std::vector<std::string> parts = collective.gather(bytes);
    bytes.clear();
    if (collective.rank() == 0) {
        std::vector<ExactMoments> merged(moments.begin(), moments.end());
        for (std::size_t p = 1; p < parts.size(); ++p) {
            std::string_view in = parts[p];
            for (ExactMoments& m : merged) m.merge(ExactMoments::load(in));
        }
        for (const ExactMoments& m : merged) m.save(bytes);
    }
    collective.broadcast(bytes);
    std::string_view in = bytes;
    for (ExactMoments& m : moments) m = ExactMoments::load(in);
}

std::string firstError(Collective& collective, const std::string& error) {
    if (collective.size() == 1) return error;
    const std::vector<std::string> errors = collective.gather(error);
    std::string first;
    for (std::size_t p = 0; p < errors.size() && first.empty(); ++p)
        if (!errors[p].empty()) first = "process " + std::to_string(p) + ": " + errors[p];
    collective.broadcast(first);
    return first;
}

std::vector<std::uint64_t> everyProcess(Collective& collective, std::uint64_t value) {
    std::vector<std::uint64_t> values(static_cast<std::size_t>(collective.size()), 0);
    values[static_cast<std::size_t>(collective.rank())] = value;
    collective.sum(values);
    return values;
}

}  // namespace mining
