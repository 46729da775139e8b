#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "util/result.h"

namespace mining {

// The content of a C4.5 .names file.
struct NamesFile {
    std::vector<std::string> classValues;
    // Each attribute's name and type; a nominal attribute's values are its listed values, or
    // empty when the file declares it `discrete` (its values are then taken from the data).
    std::vector<Attribute> attributes;
};

// Parses a .names text: first the class values ("a, b, c."), then one statement per attribute
// (`name: continuous.`, `name: v1, v2, v3.`, `name: ignore.`, `name: discrete N.`). '|' starts
// a comment; a statement ends with a '.' at the end of a line or where the next line starting an
// attribute (holding ':') begins, so long value lists may wrap. Values may hold spaces and may
// be quoted. `fileName` names the file in error messages.
// Returns the parsed file or an error naming the line.
Result<NamesFile> parseNames(std::string_view text, const std::string& fileName);

}  // namespace mining
