#include "data/reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "data/names_file.h"
#include "data/text_fields.h"
#include "data/value_coder.h"

namespace mining {

namespace {

// Bytes a parser reads before it lets the system drop them from memory again.
constexpr std::size_t kReleaseStep = std::size_t{16} << 20;
// Below this size one thread parses the whole text.
constexpr std::size_t kMinBytesPerThread = std::size_t{8} << 20;
constexpr std::size_t kMaxThreads = 4;
// The most attributes a data set may have. Each costs a few hundred bytes whatever the number of
// records, so without a bound one long line of commas would take memory far beyond its size.
constexpr std::size_t kMaxAttributes = 100000;
// A line with more fields than expected is split this far only; its message says "more than".
constexpr std::size_t kExtraFieldsCounted = 1000;

std::string nulByteMessage() {
    return "a NUL byte: this is not a plain text file (binary, or UTF-16 rather than UTF-8)";
}

// Returns true when `text` is a decimal number too large or too small in size for a double.
bool isOutOfRange(std::string_view text) {
    const char* begin = text.data();
    const char* const end = begin + text.size();
    if (begin < end && (*begin == '+' || *begin == '-')) ++begin;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc::result_out_of_range && ptr == end;
}

std::string tooManyAttributesMessage() {
    return "more than " + std::to_string(kMaxAttributes) + " attributes, the most supported";
}

// Tells the owner of the text that the parser is done with bytes [begin, end) and reads on from
// `end`, so it can drop the first from memory and map what follows ahead of use.
using ReleaseCallback = std::function<void(std::size_t begin, std::size_t end)>;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Returns an attribute name as error messages show it: control bytes (a .names file may hold
// any) become '?', so that a message stays one clean line.
std::string printableName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

// What every part of the data text is parsed against.
struct Layout {
    std::size_t fieldCount = 0;
    std::vector<AttributeType> types;  // per attribute (fieldCount - 1)
    const NamesFile* names = nullptr;
    std::string dataName;
    std::string namesName;
    std::vector<std::string> attributeNames;  // as error messages show them
};

enum class Outcome { Done, Restart, Failed };

// Parses one run of whole lines of the data text into its own columns.
class PartParser {
public:
    // `reserveFor` is the size of text to reserve the columns for: the first part reserves
    // for the whole file, so that the other parts are appended to it without moving it
    // (reserved memory costs nothing until it is written).
    PartParser(const Layout& layout, std::string_view text, std::size_t offset,
               std::size_t reserveFor, const ReleaseCallback& release)
        : layout_(layout), text_(text), offset_(offset), release_(release) {
        const std::size_t attributes = layout.fieldCount - 1;
        numeric_.resize(attributes);
        nominal_.resize(attributes);
        values_.resize(attributes);
        // Reserve for the lines this part probably holds, judged by its first lines.
        const std::size_t sample = std::min<std::size_t>(text.size(), 1 << 16);
        const auto sampleLines = static_cast<std::size_t>(
            std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(sample), '\n'));
        const std::size_t estimate =
            sampleLines == 0
                ? 16
                : reserveFor / std::max<std::size_t>(1, sample / sampleLines) * 21 / 20 + 16;
        coders_.reserve(attributes + 1);
        for (std::size_t i = 0; i < attributes; ++i) {
            const AttributeType type = layout.types[i];
            const bool listed = layout.names && !layout.names->attributes[i].values.empty();
            if (listed) values_[i] = layout.names->attributes[i].values;
            if (type == AttributeType::Numeric) numeric_[i].reserve(estimate);
            if (type == AttributeType::Nominal) nominal_[i].reserve(estimate);
            coders_.emplace_back(&values_[i], listed);
        }
        if (layout.names) classValues_ = layout.names->classValues;
        coders_.emplace_back(&classValues_, layout.names != nullptr);
        classes_.reserve(estimate);
        cells_.resize(layout.fieldCount);
        doubles_.resize(layout.fieldCount);
    }

    void run() {
        std::size_t pos = 0;
        std::size_t released = 0;
        const std::size_t size = text_.size();
        if (release_) release_(offset_, offset_);
        while (pos < size) {
            const char* start = text_.data() + pos;
            const void* nl = std::memchr(start, '\n', size - pos);
            const std::size_t lineEnd =
                nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text_.data()) : size;
            const std::string_view line = text_.substr(pos, lineEnd - pos);
            pos = lineEnd + 1;
            ++lines_;
            if (release_ && pos - released > kReleaseStep) {
                release_(offset_ + released, offset_ + std::min(pos, size));
                released = pos;
            }
            if (fastLine(line)) continue;
            if (trimBlanks(line).empty()) continue;
            outcome_ = slowLine(line);
            if (outcome_ != Outcome::Done) return;
        }
        if (release_) release_(offset_ + released, offset_ + size);
    }

    Outcome outcome() const { return outcome_; }
    // Failed: the message without its file and line, and the line within this part.
    const std::string& error() const { return error_; }
    std::size_t errorLine() const { return lines_; }
    // Restart: the column that turned out not to be numeric.
    std::size_t restartColumn() const { return restartColumn_; }
    // Lines read; when done, every line of the part.
    std::size_t lines() const { return lines_; }

    std::vector<NumericColumn> numeric_;
    std::vector<std::vector<std::int32_t>> nominal_;
    std::vector<std::vector<std::string>> values_;
    std::vector<std::string> classValues_;
    std::vector<std::int32_t> classes_;
    std::size_t missingClassCount_ = 0;

private:
    struct Cell {
        std::int64_t mantissa;
        std::int32_t code;  // nominal code; numeric: fraction digits, or -1 when missing
    };

    // Parses a line of plain fields (no quotes, numbers without exponent) straight into the
    // columns. Returns false, having stored nothing, for any other line; slowLine() then
    // handles it with every rule and message.
    bool fastLine(std::string_view line) {
        const char* p = line.data();
        const char* const end = p + line.size();
        const std::size_t fields = layout_.fieldCount;
        for (std::size_t i = 0; i < fields; ++i) {
            const bool last = i + 1 == fields;
            while (p < end && (*p == ' ' || *p == '\t')) ++p;
            if (p < end && (*p == '\'' || *p == '"')) return false;
            Cell& cell = cells_[i];
            const AttributeType type = last ? AttributeType::Nominal : layout_.types[i];
            if (type == AttributeType::Numeric) {
                const char* start = p;
                bool negative = false;
                if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
                std::int64_t m = 0;
                int digits = 0;
                int fraction = 0;
                // More than 15 digits would overflow the mantissa: slowLine() reads those.
                while (p < end && static_cast<unsigned char>(*p - '0') <= 9) {
                    if (++digits > 15) return false;
                    m = m * 10 + (*p++ - '0');
                }
                if (p < end && *p == '.') {
                    ++p;
                    while (p < end && static_cast<unsigned char>(*p - '0') <= 9) {
                        if (++digits > 15) return false;
                        m = m * 10 + (*p++ - '0');
                        ++fraction;
                    }
                }
                if (digits == 0) {
                    if (p != start || p == end || *p != '?') return false;
                    ++p;
                    cell.code = -1;
                } else {
                    if (digits > 15) return false;
                    cell.mantissa = negative ? -m : m;
                    cell.code = fraction;
                }
                while (p < end && isBlank(*p)) ++p;
                if (p == end || *p != ',') return false;  // a number is never the last field
                ++p;
            } else if (type == AttributeType::Ignored) {
                while (p < end && *p != ',' && *p != '\0') ++p;
                if (p == end || *p != ',') return false;
                ++p;
            } else {
                const char* start = p;
                const char* stop;
                // Fields are short: a plain loop beats a library call here.
                stop = p;
                while (stop < end && *stop != ',' && *stop != '\0') ++stop;
                if (last ? stop != end : stop == end || *stop != ',') return false;
                const char* e = stop;
                while (e > start && isBlank(e[-1])) --e;
                const std::string_view field(start, static_cast<std::size_t>(e - start));
                if (field.empty() && last) return false;  // a blank line, or a missing class field
                if (field.size() == 1 && field[0] == '?') {
                    cell.code = kMissingCode;
                } else {
                    cell.code = coders_[i].code(field);
                    if (cell.code < 0) return false;
                }
                p = stop + 1;
            }
        }
        if (cells_[fields - 1].code == kMissingCode) {
            ++missingClassCount_;
            return true;
        }
        for (std::size_t i = 0; i + 1 < fields; ++i) {
            const Cell& cell = cells_[i];
            switch (layout_.types[i]) {
                case AttributeType::Numeric:
                    if (cell.code < 0)
                        numeric_[i].appendMissing();
                    else
                        numeric_[i].appendDecimal(cell.mantissa, cell.code);
                    break;
                case AttributeType::Nominal:
                    nominal_[i].push_back(cell.code);
                    break;
                case AttributeType::Ignored:
                    break;
            }
        }
        classes_.push_back(cells_[fields - 1].code);
        return true;
    }

    static bool isMissingField(std::string_view field, bool quoted) {
        return !quoted && field == "?";
    }

    Outcome fail(std::string message) {
        error_ = std::move(message);
        return Outcome::Failed;
    }

    // Parses any non-blank line by the full rules.
    Outcome slowLine(std::string_view line) {
        if (line.find('\0') != std::string_view::npos) return fail(nulByteMessage());
        std::string what;
        const std::size_t expected = layout_.fieldCount;
        if (!splitFields(line, fields_, quoted_, what, expected + kExtraFieldsCounted))
            return fail(what);
        if (fields_.size() > expected + kExtraFieldsCounted)
            return fail("found more than " + std::to_string(expected + kExtraFieldsCounted) +
                        " fields, expected " + std::to_string(expected));
        if (fields_.size() != expected)
            return fail("found " + std::to_string(fields_.size()) +
                        (fields_.size() == 1 ? " field" : " fields") + ", expected " +
                        std::to_string(expected));
        const std::size_t attributes = expected - 1;
        std::int32_t classCode = kMissingCode;
        if (!isMissingField(fields_.back(), quoted_.back())) {
            classCode = coders_.back().code(fields_.back());
            if (classCode < 0)
                return fail(quoteForMessage(fields_.back()) + " is not a class value listed in " +
                            layout_.namesName);
        }
        // A record without a class is still checked, so that a bad value is reported wherever
        // it is, but nothing of it is kept.
        for (std::size_t i = 0; i < attributes; ++i) {
            const std::string_view field = fields_[i];
            const bool missing = isMissingField(field, quoted_[i]);
            Cell& cell = cells_[i];
            switch (layout_.types[i]) {
                case AttributeType::Ignored:
                    break;
                case AttributeType::Numeric: {
                    cell.code = -2;  // -2: a double in `values`; -1: missing
                    if (missing) {
                        cell.code = -1;
                        break;
                    }
                    std::int64_t mantissa = 0;
                    int fraction = 0;
                    double value = 0;
                    const NumberForm form = parseNumber(field, mantissa, fraction, value);
                    if (form == NumberForm::NotNumber) {
                        if (!layout_.names) {
                            restartColumn_ = i;
                            return Outcome::Restart;
                        }
                        return fail(quoteForMessage(field) +
                                    (isOutOfRange(field)
                                         ? " is out of the range of numbers (about 1e-308 to "
                                           "1e308 in size)"
                                         : " is not a number") +
                                    ", but attribute " + layout_.attributeNames[i] +
                                    " is continuous");
                    }
                    if (form == NumberForm::Decimal) {
                        cell.mantissa = mantissa;
                        cell.code = fraction;
                    } else {
                        doubles_[i] = value;
                    }
                    break;
                }
                case AttributeType::Nominal:
                    cell.code = kMissingCode;
                    if (!missing) {
                        cell.code = coders_[i].code(field);
                        if (cell.code < 0)
                            return fail(quoteForMessage(field) + " is not a value of attribute " +
                                        layout_.attributeNames[i] + " listed in " +
                                        layout_.namesName);
                    }
                    break;
            }
        }
        if (classCode == kMissingCode) {
            ++missingClassCount_;
            return Outcome::Done;
        }
        for (std::size_t i = 0; i < attributes; ++i) {
            const Cell& cell = cells_[i];
            if (layout_.types[i] == AttributeType::Numeric) {
                if (cell.code == -1)
                    numeric_[i].appendMissing();
                else if (cell.code == -2)
                    numeric_[i].appendDouble(doubles_[i]);
                else
                    numeric_[i].appendDecimal(cell.mantissa, cell.code);
            } else if (layout_.types[i] == AttributeType::Nominal) {
                nominal_[i].push_back(cell.code);
            }
        }
        classes_.push_back(classCode);
        return Outcome::Done;
    }

    const Layout& layout_;
    std::string_view text_;
    std::size_t offset_;
    const ReleaseCallback& release_;
    std::vector<ValueCoder> coders_;
    std::vector<Cell> cells_;
    std::vector<double> doubles_;  // slowLine: values that are not plain decimals
    std::vector<std::string_view> fields_;
    std::vector<bool> quoted_;
    Outcome outcome_ = Outcome::Done;
    std::string error_;
    std::size_t restartColumn_ = 0;
    std::size_t lines_ = 0;
};

// Splits `text` into up to `count` runs of whole lines.
std::vector<std::pair<std::size_t, std::size_t>> splitAtLines(std::string_view text,
                                                              std::size_t count) {
    std::vector<std::pair<std::size_t, std::size_t>> parts;
    std::size_t begin = 0;
    for (std::size_t k = 1; k <= count && begin < text.size(); ++k) {
        std::size_t end = text.size();
        if (k < count) {
            end = std::max(begin, text.size() / count * k);
            const std::size_t nl = text.find('\n', end);
            end = nl == std::string_view::npos ? text.size() : nl + 1;
        }
        parts.emplace_back(begin, end);
        begin = end;
    }
    if (parts.empty()) parts.emplace_back(0, 0);
    return parts;
}

}  // namespace

// Fills a Dataset from the text of a .data file and the parsed .names file, if any.
class DatasetBuilder {
public:
    static Result<Dataset> build(std::string_view text, const NamesFile* names,
                                 const std::string& dataName, const std::string& namesName,
                                 std::size_t threads, const ReleaseCallback& release) {
        text = skipByteOrderMark(text);
        // Lines ended by a carriage return alone are read from a copy with '\n' ends; it has
        // the same length, so offsets given to `release` still match the original text.
        std::string newlineCopy;
        if (endsLinesWithCarriageReturns(text)) {
            newlineCopy = carriageReturnsToNewlines(text);
            text = newlineCopy;
        }
        Layout layout;
        layout.names = names;
        layout.dataName = dataName;
        layout.namesName = namesName;
        if (names) {
            if (names->attributes.size() > kMaxAttributes)
                return Result<Dataset>::failure(namesName + " declares " +
                                                tooManyAttributesMessage());
            layout.fieldCount = names->attributes.size() + 1;
            for (const Attribute& a : names->attributes) {
                layout.types.push_back(a.type);
                layout.attributeNames.push_back(printableName(a.name));
            }
        } else {
            // The first record gives the number of fields and a first guess of each type.
            std::size_t lineNumber = 0;
            std::string_view rest = text;
            while (!rest.empty()) {
                const std::size_t nl = rest.find('\n');
                const std::string_view line = rest.substr(0, nl);
                rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
                ++lineNumber;
                if (trimBlanks(line).empty()) continue;
                std::vector<std::string_view> fields;
                std::vector<bool> quoted;
                std::string what;
                const std::string where = dataName + ", line " + std::to_string(lineNumber) + ": ";
                if (!splitFields(line, fields, quoted, what, kMaxAttributes + 1))
                    return Result<Dataset>::failure(where + what);
                if (fields.size() > kMaxAttributes + 1)
                    return Result<Dataset>::failure(where + tooManyAttributesMessage());
                layout.fieldCount = fields.size();
                for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
                    std::int64_t m;
                    int f;
                    double v;
                    const bool number = (!quoted[i] && fields[i] == "?") ||
                                        parseNumber(fields[i], m, f, v) != NumberForm::NotNumber;
                    layout.types.push_back(number ? AttributeType::Numeric
                                                  : AttributeType::Nominal);
                    layout.attributeNames.push_back("a" + std::to_string(i + 1));
                }
                break;
            }
            if (layout.fieldCount == 0)
                return Result<Dataset>::failure(dataName + " holds no records");
        }

        if (threads == 0) {
            const std::size_t hardware = std::max(1u, std::thread::hardware_concurrency());
            threads = std::min({hardware, kMaxThreads,
                                std::max<std::size_t>(1, text.size() / kMinBytesPerThread)});
        }
        const auto ranges = splitAtLines(text, threads);

        // Without .names, parsing starts again whenever a column taken as numeric turns out not
        // to be; each restart settles at least one more column.
        while (true) {
            std::vector<std::unique_ptr<PartParser>> parts;
            for (const auto& [begin, end] : ranges)
                parts.push_back(std::make_unique<PartParser>(
                    layout, text.substr(begin, end - begin), begin,
                    parts.empty() ? text.size() : end - begin, release));
            if (parts.size() == 1) {
                parts[0]->run();
            } else {
                std::vector<std::thread> workers;
                for (std::size_t k = 1; k < parts.size(); ++k)
                    workers.emplace_back([&part = *parts[k]] { part.run(); });
                parts[0]->run();
                for (std::thread& w : workers) w.join();
            }
            bool restart = false;
            std::size_t linesBefore = 0;
            for (const auto& part : parts) {
                if (part->outcome() == Outcome::Restart) {
                    restart = true;
                } else if (part->outcome() == Outcome::Failed && !restart) {
                    return Result<Dataset>::failure(
                        dataName + ", line " + std::to_string(linesBefore + part->errorLine()) +
                        ": " + part->error());
                }
                linesBefore += part->lines();
            }
            if (!restart) return merge(layout, parts);
            for (const auto& part : parts)
                if (part->outcome() == Outcome::Restart)
                    layout.types[part->restartColumn()] = AttributeType::Nominal;
        }
    }

private:
    // Joins the parts' columns in order into one Dataset, freeing each part's column as soon
    // as it is copied, so the peak stays near the size of the result.
    static Result<Dataset> merge(const Layout& layout,
                                 std::vector<std::unique_ptr<PartParser>>& parts) {
        Dataset data;
        std::size_t total = 0;
        std::size_t missing = 0;
        for (const auto& part : parts) {
            total += part->classes_.size();
            missing += part->missingClassCount_;
        }
        if (total == 0) {
            if (missing == 0)
                return Result<Dataset>::failure(layout.dataName + " holds no records");
            return Result<Dataset>::failure(
                layout.dataName + " holds no record with a class value (" +
                std::to_string(missing) + " records have '?' as class)");
        }
        if (total > 0xFFFFFFFFull)
            return Result<Dataset>::failure(layout.dataName +
                                            " holds more records than can be handled (4294967295)");
        const std::size_t attributes = layout.fieldCount - 1;
        if (layout.names) {
            data.attributes_ = layout.names->attributes;
        } else {
            data.attributes_.resize(attributes);
            for (std::size_t i = 0; i < attributes; ++i) {
                data.attributes_[i].name = layout.attributeNames[i];
                data.attributes_[i].type = layout.types[i];
            }
        }
        data.numeric_.resize(attributes);
        data.nominal_.resize(attributes);
        PartParser& first = *parts[0];
        for (std::size_t i = 0; i < attributes; ++i) {
            switch (layout.types[i]) {
                case AttributeType::Numeric:
                    data.numeric_[i] = std::move(first.numeric_[i]);
                    for (std::size_t k = 1; k < parts.size(); ++k)
                        data.numeric_[i].appendAndClear(parts[k]->numeric_[i]);
                    if (parts.size() == 1) data.numeric_[i].shrinkToFit();
                    break;
                case AttributeType::Nominal:
                    data.attributes_[i].values = std::move(first.values_[i]);
                    data.nominal_[i] = joinCodes(
                        first.nominal_[i], data.attributes_[i].values,
                        parts, [i](PartParser & p) -> auto& { return p.nominal_[i]; },
                        [i](PartParser & p) -> auto& { return p.values_[i]; });
                    break;
                case AttributeType::Ignored:
                    break;
            }
        }
        data.classValues_ = std::move(first.classValues_);
        data.classes_ = joinCodes(
            first.classes_, data.classValues_, parts,
            [](PartParser & p) -> auto& { return p.classes_; },
            [](PartParser & p) -> auto& { return p.classValues_; });
        data.missingClassCount_ = missing;
        data.dataPath_ = layout.dataName;
        data.namesPath_ = layout.names ? layout.namesName : std::string();
        return data;
    }

    // Appends the codes of parts 1.. to part 0's, recoding each part's values into `values`.
    template <class Codes, class Values>
    static std::vector<std::int32_t> joinCodes(std::vector<std::int32_t>& firstCodes,
                                               std::vector<std::string>& values,
                                               std::vector<std::unique_ptr<PartParser>>& parts,
                                               Codes codesOf, Values valuesOf) {
        std::vector<std::int32_t> joined = std::move(firstCodes);
        if (parts.size() == 1) {
            joined.shrink_to_fit();
            return joined;
        }
        std::size_t total = joined.size();
        for (std::size_t k = 1; k < parts.size(); ++k) total += codesOf(*parts[k]).size();
        joined.reserve(total);
        ValueCoder coder(&values, false);
        for (std::size_t k = 1; k < parts.size(); ++k) {
            std::vector<std::int32_t>& codes = codesOf(*parts[k]);
            const std::vector<std::string>& partValues = valuesOf(*parts[k]);
            std::vector<std::int32_t> recode(partValues.size());
            bool same = partValues.size() <= values.size();
            for (std::size_t v = 0; v < partValues.size(); ++v) {
                recode[v] = coder.code(partValues[v]);
                same = same && recode[v] == static_cast<std::int32_t>(v);
            }
            if (same) {
                joined.insert(joined.end(), codes.begin(), codes.end());
            } else {
                for (std::int32_t c : codes)
                    joined.push_back(c < 0 ? c : recode[static_cast<std::size_t>(c)]);
            }
            codes = {};
        }
        return joined;
    }
};

namespace {

Result<Dataset> parseWith(std::string_view data, const std::optional<std::string_view>& namesText,
                          const std::string& dataName, const std::string& namesName,
                          std::size_t threads, const ReleaseCallback& release) {
    std::optional<NamesFile> names;
    if (namesText) {
        Result<NamesFile> parsed = parseNames(*namesText, namesName);
        if (!parsed) return Result<Dataset>::failure(parsed.error());
        names = std::move(parsed.value());
    }
    return DatasetBuilder::build(data, names ? &*names : nullptr, dataName, namesName, threads,
                                 release);
}

std::string systemReason(int error) { return std::strerror(error); }

// Reads a whole small file. Returns false and sets `error` when it cannot.
bool readSmallFile(const std::string& path, std::string& content, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + systemReason(errno);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        error = "cannot read " + path + ": " + systemReason(errno);
        return false;
    }
    content = buffer.str();
    return true;
}

// A read-only view of a whole file: mapped when it is a regular file, else read into memory.
class FileText {
public:
    FileText() = default;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;
    ~FileText() {
        if (mapped_) munmap(mapped_, size_);
        if (fd_ >= 0) close(fd_);
    }

    // Returns false and sets `error` when the file cannot be read.
    bool open(const std::string& path, std::string& error) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error = "cannot read " + path + ": " + systemReason(errno);
            return false;
        }
        struct stat info {};
        if (fstat(fd_, &info) != 0) {
            error = "cannot read " + path + ": " + systemReason(errno);
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            error = "cannot read " + path + ": it is a folder";
            return false;
        }
        if (S_ISREG(info.st_mode) && info.st_size > 0) {
            size_ = static_cast<std::size_t>(info.st_size);
            void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
            if (p != MAP_FAILED) {
                mapped_ = p;
                madvise(mapped_, size_, MADV_SEQUENTIAL);
                return true;
            }
            size_ = 0;
        }
        // Not mappable (a pipe, an empty or special file): read it all.
        char buffer[1 << 16];
        while (true) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                error = "cannot read " + path + ": " + systemReason(errno);
                return false;
            }
            if (n == 0) break;
            content_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    std::string_view text() const {
        return mapped_ ? std::string_view(static_cast<const char*>(mapped_), size_)
                       : std::string_view(content_);
    }

    // Lets the system drop the whole pages of bytes [begin, end) of the mapping from this
    // process's memory (they are read again from the page cache if touched later), and maps the
    // next `ahead` bytes from `end` in one go rather than page by page as they are touched.
    void release(std::size_t begin, std::size_t end, std::size_t ahead) const {
        if (!mapped_) return;
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t from = (begin + page - 1) / page * page;
        const std::size_t to = std::min(end, size_) / page * page;
        char* base = static_cast<char*>(mapped_);
        if (to > from) madvise(base + from, to - from, MADV_DONTNEED);
#ifdef MADV_POPULATE_READ
        const std::size_t next = end / page * page;
        const std::size_t last = std::min(next + ahead, size_);
        if (last > next) madvise(base + next, last - next, MADV_POPULATE_READ);  // a hint only
#endif
    }

private:
    int fd_ = -1;
    void* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string content_;
};

}  // namespace

Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName, const std::string& namesName,
                             std::size_t threads) {
    return parseWith(data, names, dataName, namesName, threads, nullptr);
}

Result<Dataset> readDataset(const std::string& base) {
    const std::string dataPath = base + ".data";
    const std::string namesPath = base + ".names";
    std::optional<std::string> namesText;
    struct stat info {};
    if (stat(namesPath.c_str(), &info) == 0) {
        std::string content;
        std::string error;
        if (!readSmallFile(namesPath, content, error)) return Result<Dataset>::failure(error);
        namesText = std::move(content);
    }
    FileText file;
    std::string error;
    if (!file.open(dataPath, error)) return Result<Dataset>::failure(error);
    std::optional<std::string_view> namesView;
    if (namesText) namesView = *namesText;
    const std::string_view text = file.text();
    // Offsets reported by the parser are within the text after a byte-order mark.
    const std::size_t skipped = text.size() - skipByteOrderMark(text).size();
    return parseWith(text, namesView, dataPath, namesPath, 0,
                     [&file, skipped](std::size_t begin, std::size_t end) {
                         file.release(skipped + begin, skipped + end, kReleaseStep);
                     });
}

}  // namespace mining
