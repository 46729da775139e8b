#include "data/names_file.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "data/text_fields.h"

namespace mining {

namespace {

struct Statement {
    std::string text;
    std::size_t line = 0;
};

// Collects the statements: comment-free, trimmed text, joined across wrapped lines.
std::vector<Statement> collectStatements(std::string_view text) {
    std::vector<Statement> statements;
    bool open = false;  // the last statement may continue on the next line
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        ++lineNumber;
        const std::size_t bar = line.find('|');
        if (bar != std::string_view::npos) line = line.substr(0, bar);
        line = trimBlanks(line);
        if (line.empty()) continue;
        const bool startsAttribute = line.find(':') != std::string_view::npos;
        if (open && !startsAttribute) {
            statements.back().text += ' ';
            statements.back().text += line;
        } else {
            statements.push_back({std::string(line), lineNumber});
        }
        open = line.back() != '.';
    }
    for (Statement& s : statements) {
        std::string_view t = trimBlanks(s.text);
        if (!t.empty() && t.back() == '.') t.remove_suffix(1);
        s.text = std::string(trimBlanks(t));
    }
    return statements;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Splits a value list; returns an error message or "".
std::string splitValues(std::string_view list, std::vector<std::string>& values) {
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;  // values that held "", which `fields` may view
    std::string error;
    if (!splitFields(list, fields, quoted, storage, error)) return error;
    std::set<std::string_view> seen;
    for (std::string_view f : fields) {
        if (f.empty()) return "an empty value in a list";
        if (f == "?") return "'?' cannot be a listed value (it marks a missing value)";
        if (!seen.insert(f).second) return "the value " + quoteForMessage(f) + " is listed twice";
        values.emplace_back(f);
    }
    return "";
}

bool isDiscreteKeyword(const std::string& keyword) {
    return keyword.rfind("discrete", 0) == 0 &&
           std::all_of(keyword.begin() + 8, keyword.end(), [](char c) {
               return c == ' ' || std::isdigit(static_cast<unsigned char>(c));
           });
}

// Reads the type after an attribute's colon into `a`. Returns an error message or "".
std::string readType(std::string_view type, Attribute& a) {
    const std::string keyword = lower(type);
    if (keyword == "continuous") {
        a.type = AttributeType::Numeric;
    } else if (keyword == "ignore") {
        a.type = AttributeType::Ignored;
    } else if (isDiscreteKeyword(keyword)) {
        a.type = AttributeType::Nominal;  // values come from the data
    } else if (type.empty()) {
        return "the attribute " + quoteForMessage(a.name) + " has no type";
    } else {
        a.type = AttributeType::Nominal;
        return splitValues(type, a.values);
    }
    return "";
}

// Reads one attribute statement into `a`; `seen` holds the names declared so far. Returns an
// error message or "".
std::string readAttribute(const std::string& text, std::set<std::string>& seen, Attribute& a) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return "expected \"name: type\" for an attribute";
    a.name = std::string(trimBlanks(std::string_view(text).substr(0, colon)));
    if (a.name.empty()) return "an attribute has no name";
    if (!seen.insert(a.name).second)
        return "the attribute " + quoteForMessage(a.name) + " is declared twice";
    return readType(trimBlanks(std::string_view(text).substr(colon + 1)), a);
}

}  // namespace

Result<NamesFile> parseNames(std::string_view text, const std::string& fileName) {
    text = skipByteOrderMark(text);
    if (const std::size_t line = lineOfNulByte(text); line != 0)
        return Result<NamesFile>::failure(fileName + ", line " + std::to_string(line) +
                                          ": a NUL byte: this is not a plain text file");
    std::string newlineCopy;
    if (endsLinesWithCarriageReturns(text)) {
        newlineCopy = carriageReturnsToNewlines(text);
        text = newlineCopy;
    }
    const std::vector<Statement> statements = collectStatements(text);
    auto fail = [&](std::size_t line, const std::string& what) {
        return Result<NamesFile>::failure(fileName + ", line " + std::to_string(line) + ": " +
                                          what);
    };
    if (statements.empty()) return Result<NamesFile>::failure(fileName + " lists no class values");

    NamesFile names;
    const Statement& classes = statements.front();
    if (classes.text.find(':') != std::string::npos)
        return fail(classes.line, "the first statement must list the class values");
    if (std::string e = splitValues(classes.text, names.classValues); !e.empty())
        return fail(classes.line, e);
    std::set<std::string> attributeNames;
    for (std::size_t i = 1; i < statements.size(); ++i) {
        Attribute a;
        if (std::string e = readAttribute(statements[i].text, attributeNames, a); !e.empty())
            return fail(statements[i].line, e);
        names.attributes.push_back(std::move(a));
    }
    return names;
}

}  // namespace mining
