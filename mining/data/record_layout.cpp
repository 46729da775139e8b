#include "data/record_layout.h"

#include "data/number_parser.h"
#include "data/text_fields.h"

namespace mining {

namespace {

std::string tooManyAttributesMessage() {
    return "more than " + std::to_string(kMaxAttributes) + " attributes, the most supported";
}

// Returns an attribute name as error messages show it: control bytes (a .names file may hold
// any) become '?', so that a message stays one clean line.
std::string printableName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

// Returns the first line of `text` that holds more than blanks, and its 1-based number in
// `lineNumber`; an empty view when there is none.
std::string_view firstRecordLine(std::string_view text, std::size_t& lineNumber) {
    lineNumber = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++lineNumber;
        if (!trimBlanks(line).empty()) return line;
    }
    return {};
}

}  // namespace

namespace {

// Returns the bits of the built-in missing marks ("", "NA", "N/A", ...) that `values` lists as
// values.
std::uint32_t marksListed(const std::vector<std::string>& values) {
    std::uint32_t bits = 0;
    for (const std::string& v : values) {
        const MarkId mark = builtInMark(v);
        if (mark != kNoMark && mark < RecordLayout::kListableMarks) bits |= 1u << mark;
    }
    return bits;
}

}  // namespace

Result<RecordLayout> layoutFromNames(const NamesFile& names, const std::string& namesName) {
    if (names.attributes.size() > kMaxAttributes)
        return Result<RecordLayout>::failure(namesName + " declares " + tooManyAttributesMessage());
    RecordLayout layout;
    layout.names = &names;
    layout.fieldCount = names.attributes.size() + 1;
    layout.classField = names.attributes.size();
    bool anyMark = false;
    std::vector<std::uint32_t> marks;
    for (const Attribute& a : names.attributes) {
        layout.types.push_back(a.type);
        layout.attributeNames.push_back(printableName(a.name));
        marks.push_back(marksListed(a.values));
        anyMark = anyMark || marks.back() != 0;
    }
    marks.push_back(marksListed(names.classValues));
    if (anyMark || marks.back() != 0) layout.listedMarks = std::move(marks);
    return layout;
}

AttributeType guessType(std::string_view field, bool quoted) {
    std::int64_t mantissa;
    int fractionDigits;
    double value;
    const bool mark = !quoted && !field.empty() && builtInMark(field) != kNoMark;
    const bool number =
        mark || parseNumber(field, mantissa, fractionDigits, value) != NumberForm::NotNumber;
    return number ? AttributeType::Numeric : AttributeType::Nominal;
}

std::string nameLine(const LineNamer& namer, std::size_t line) {
    return namer ? namer(line) : "line " + std::to_string(line);
}

Result<RecordLayout> layoutFromFirstRecord(std::string_view text, const std::string& dataName,
                                           const LineNamer& namer) {
    std::size_t lineNumber = 0;
    const std::string_view line = firstRecordLine(text, lineNumber);
    if (line.empty()) return Result<RecordLayout>::failure(dataName + " holds no records");
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;  // fields that held "", which `fields` may view
    std::string what;
    const std::string where = dataName + ", " + nameLine(namer, lineNumber) + ": ";
    if (!splitFields(line, fields, quoted, storage, what, kMaxAttributes + 1))
        return Result<RecordLayout>::failure(where + what);
    if (fields.size() > kMaxAttributes + 1)
        return Result<RecordLayout>::failure(where + tooManyAttributesMessage());
    RecordLayout layout;
    layout.fieldCount = fields.size();
    layout.classField = fields.size() - 1;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        layout.types.push_back(guessType(fields[i], quoted[i]));
        layout.attributeNames.push_back("a" + std::to_string(i + 1));
    }
    layout.className = "a" + std::to_string(fields.size());
    return layout;
}

}  // namespace mining
