#include "data/reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <unordered_map>

#include "data/names_file.h"
#include "data/text_fields.h"

namespace mining {

namespace {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Up to this many values a nominal lookup scans the list; beyond it, a hash map answers.
constexpr std::size_t kLinearLookupLimit = 16;

// Codes nominal values: the listed values of .names, or values in order of first appearance.
class ValueCoder {
public:
    ValueCoder(std::vector<std::string>* values, bool fixed) : values_(values), fixed_(fixed) {
        if (values_->size() > kLinearLookupLimit) indexAll();
    }

    // Returns the code of `value`, adding it when the list is open; -1 when it is not listed.
    std::int32_t code(std::string_view value) {
        std::vector<std::string>& values = *values_;
        if (values.size() <= kLinearLookupLimit) {
            for (std::size_t i = 0; i < values.size(); ++i)
                if (values[i].size() == value.size() &&
                    std::memcmp(values[i].data(), value.data(), value.size()) == 0)
                    return static_cast<std::int32_t>(i);
        } else {
            const auto found = index_.find(value);
            if (found != index_.end()) return found->second;
        }
        if (fixed_) return -1;
        const auto code = static_cast<std::int32_t>(values.size());
        values.emplace_back(value);
        if (values.size() == kLinearLookupLimit + 1)
            indexAll();
        else if (values.size() > kLinearLookupLimit + 1)
            index_.emplace(values.back(), code);
        return code;
    }

private:
    void indexAll() {
        for (std::size_t i = 0; i < values_->size(); ++i)
            index_.emplace((*values_)[i], static_cast<std::int32_t>(i));
    }

    std::vector<std::string>* values_;
    bool fixed_;
    std::unordered_map<std::string, std::int32_t, StringHash, std::equal_to<>> index_;
};

// Called with the count of bytes of the data text that the parser is done with, so the caller
// can release them from memory.
using ConsumedCallback = std::function<void(std::size_t)>;

std::size_t countLines(std::string_view text, const ConsumedCallback& consumed) {
    constexpr std::size_t kBlock = std::size_t{32} << 20;
    std::size_t lines = 1;
    for (std::size_t offset = 0; offset < text.size(); offset += kBlock) {
        const std::string_view block = text.substr(offset, kBlock);
        lines += static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
        if (consumed) consumed(offset + block.size());
    }
    return lines;
}

}  // namespace

// Fills a Dataset from the text of a .data file and the parsed .names file, if any.
class DatasetBuilder {
public:
    DatasetBuilder(std::string_view data, const NamesFile* names, std::string dataName,
                   std::string namesName, ConsumedCallback consumed)
        : text_(skipByteOrderMark(data)),
          names_(names),
          dataName_(std::move(dataName)),
          namesName_(std::move(namesName)),
          consumed_(std::move(consumed)) {}

    Result<Dataset> build() {
        lineCapacity_ = countLines(text_, consumed_);
        // Without .names a column is first taken as numeric, and parsing starts again whenever
        // one turns out not to be; each restart settles one more column, and nominal columns
        // usually show themselves on the first record.
        while (true) {
            std::string error;
            const Outcome outcome = parseAll(error);
            if (outcome == Outcome::Done) break;
            if (outcome == Outcome::Failed) return Result<Dataset>::failure(error);
        }
        if (data_.classes_.empty()) {
            if (data_.missingClassCount_ == 0)
                return Result<Dataset>::failure(dataName_ + " holds no records");
            return Result<Dataset>::failure(dataName_ + " holds no record with a class value (" +
                                            std::to_string(data_.missingClassCount_) +
                                            " records have '?' as class)");
        }
        for (NumericColumn& c : data_.numeric_) c.shrinkToFit();
        for (auto& c : data_.nominal_) c.shrink_to_fit();
        data_.classes_.shrink_to_fit();
        data_.dataPath_ = dataName_;
        data_.namesPath_ = names_ ? namesName_ : std::string();
        return std::move(data_);
    }

private:
    enum class Outcome { Done, Restart, Failed };

    // Sets up the columns for `fieldCount` fields per record.
    void setUp(std::size_t fieldCount) {
        data_ = Dataset();
        const std::size_t attributeCount = fieldCount - 1;
        if (names_) {
            data_.attributes_ = names_->attributes;
            data_.classValues_ = names_->classValues;
        } else {
            data_.attributes_.resize(attributeCount);
            for (std::size_t i = 0; i < attributeCount; ++i) {
                data_.attributes_[i].name = "a" + std::to_string(i + 1);
                data_.attributes_[i].type = guesses_[i];
            }
        }
        data_.numeric_.resize(attributeCount);
        data_.nominal_.resize(attributeCount);
        coders_.clear();
        coders_.reserve(attributeCount + 1);
        for (std::size_t i = 0; i < attributeCount; ++i) {
            Attribute& a = data_.attributes_[i];
            if (a.type == AttributeType::Numeric) data_.numeric_[i].reserve(lineCapacity_);
            if (a.type == AttributeType::Nominal) data_.nominal_[i].reserve(lineCapacity_);
            coders_.emplace_back(&a.values, names_ && !a.values.empty());
        }
        coders_.emplace_back(&data_.classValues_, names_ != nullptr);
        data_.classes_.reserve(lineCapacity_);
    }

    Outcome parseAll(std::string& error) {
        std::vector<std::string_view> fields;
        std::vector<bool> quoted;
        std::size_t expected = names_ ? names_->attributes.size() + 1 : 0;
        if (names_) setUp(expected);
        std::size_t lineNumber = 0;
        std::size_t pos = 0;
        std::size_t reported = 0;
        if (consumed_) consumed_(0);
        const std::size_t size = text_.size();
        while (pos < size) {
            const char* start = text_.data() + pos;
            const void* nl = std::memchr(start, '\n', size - pos);
            const std::size_t lineEnd =
                nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text_.data()) : size;
            const std::string_view line = text_.substr(pos, lineEnd - pos);
            pos = lineEnd + 1;
            ++lineNumber;
            if (consumed_ && pos - reported > (std::size_t{32} << 20)) {
                consumed_(std::min(pos, size));
                reported = pos;
            }
            if (trimBlanks(line).empty()) continue;
            std::string what;
            if (!splitFields(line, fields, quoted, what)) {
                error = where(lineNumber) + what;
                return Outcome::Failed;
            }
            if (expected == 0) {
                expected = fields.size();
                if (guesses_.empty()) {
                    // The first record's own values give the first guess of each column's type.
                    for (std::size_t i = 0; i + 1 < fields.size(); ++i)
                        guesses_.push_back(isNumberOrMissing(fields[i], quoted[i])
                                               ? AttributeType::Numeric
                                               : AttributeType::Nominal);
                }
                setUp(expected);
            }
            if (fields.size() != expected) {
                error = where(lineNumber) + "found " + std::to_string(fields.size()) +
                        (fields.size() == 1 ? " field" : " fields") + ", expected " +
                        std::to_string(expected);
                return Outcome::Failed;
            }
            const Outcome outcome = addRecord(fields, quoted, lineNumber, error);
            if (outcome != Outcome::Done) return outcome;
        }
        return Outcome::Done;
    }

    static bool isMissingField(std::string_view field, bool quoted) {
        return !quoted && field == "?";
    }

    static bool isNumberOrMissing(std::string_view field, bool quoted) {
        if (isMissingField(field, quoted)) return true;
        std::int64_t m;
        int f;
        double v;
        return parseNumber(field, m, f, v) != NumberForm::NotNumber;
    }

    Outcome addRecord(const std::vector<std::string_view>& fields, const std::vector<bool>& quoted,
                      std::size_t lineNumber, std::string& error) {
        const std::size_t attributeCount = fields.size() - 1;
        std::int32_t classCode = kMissingCode;
        if (!isMissingField(fields.back(), quoted.back())) {
            classCode = coders_.back().code(fields.back());
            if (classCode < 0) {
                error = where(lineNumber) + quoteForMessage(fields.back()) +
                        " is not a class value listed in " + namesName_;
                return Outcome::Failed;
            }
        }
        // A record without a class is still checked, so that a bad value is reported wherever it
        // is, but nothing of it is kept.
        const bool keep = classCode != kMissingCode;
        for (std::size_t i = 0; i < attributeCount; ++i) {
            Attribute& a = data_.attributes_[i];
            const std::string_view field = fields[i];
            if (a.type == AttributeType::Ignored) continue;
            const bool missing = isMissingField(field, quoted[i]);
            if (a.type == AttributeType::Numeric) {
                if (missing) {
                    if (keep) data_.numeric_[i].appendMissing();
                    continue;
                }
                std::int64_t mantissa;
                int fraction;
                double value;
                const NumberForm form = parseNumber(field, mantissa, fraction, value);
                if (form == NumberForm::NotNumber) {
                    if (!names_) {
                        guesses_[i] = AttributeType::Nominal;
                        return Outcome::Restart;
                    }
                    error = where(lineNumber) + quoteForMessage(field) +
                            " is not a number, but attribute " + a.name + " is continuous";
                    return Outcome::Failed;
                }
                if (!keep) continue;
                if (form == NumberForm::Decimal)
                    data_.numeric_[i].appendDecimal(mantissa, fraction);
                else
                    data_.numeric_[i].appendDouble(value);
            } else {
                std::int32_t code = kMissingCode;
                if (!missing) {
                    code = coders_[i].code(field);
                    if (code < 0) {
                        error = where(lineNumber) + quoteForMessage(field) +
                                " is not a value of attribute " + a.name + " listed in " +
                                namesName_;
                        return Outcome::Failed;
                    }
                }
                if (keep) data_.nominal_[i].push_back(code);
            }
        }
        if (keep) {
            if (data_.classes_.size() >= 0xFFFFFFFFu) {
                error = dataName_ + " holds more records than can be handled (4294967295)";
                return Outcome::Failed;
            }
            data_.classes_.push_back(classCode);
        } else {
            ++data_.missingClassCount_;
        }
        return Outcome::Done;
    }

    std::string where(std::size_t lineNumber) const {
        return dataName_ + ", line " + std::to_string(lineNumber) + ": ";
    }

    std::string_view text_;
    const NamesFile* names_;
    std::string dataName_;
    std::string namesName_;
    ConsumedCallback consumed_;
    std::size_t lineCapacity_ = 0;
    std::vector<AttributeType> guesses_;
    std::vector<ValueCoder> coders_;
    Dataset data_;
};

namespace {

Result<Dataset> parseWith(std::string_view data, const std::optional<std::string_view>& namesText,
                          const std::string& dataName, const std::string& namesName,
                          ConsumedCallback consumed) {
    std::optional<NamesFile> names;
    if (namesText) {
        Result<NamesFile> parsed = parseNames(*namesText, namesName);
        if (!parsed) return Result<Dataset>::failure(parsed.error());
        names = std::move(parsed.value());
    }
    DatasetBuilder builder(data, names ? &*names : nullptr, dataName, namesName,
                           std::move(consumed));
    return builder.build();
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

    // Lets the system drop the mapped pages before `offset` from this process's memory; they
    // are read again from the page cache if touched later.
    void release(std::size_t offset) {
        if (!mapped_) return;
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t end = std::min(offset, size_) / page * page;
        if (end > released_) {
            madvise(static_cast<char*>(mapped_) + released_, end - released_, MADV_DONTNEED);
            released_ = end;
        }
    }

    void resetRelease() { released_ = 0; }

private:
    int fd_ = -1;
    void* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::size_t released_ = 0;
    std::string content_;
};

}  // namespace

Result<Dataset> parseDataset(std::string_view data, std::optional<std::string_view> names,
                             const std::string& dataName, const std::string& namesName) {
    return parseWith(data, names, dataName, namesName, nullptr);
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
    return parseWith(file.text(), namesView, dataPath, namesPath, [&file](std::size_t offset) {
        if (offset == 0) file.resetRelease();
        file.release(offset);
    });
}

}  // namespace mining
