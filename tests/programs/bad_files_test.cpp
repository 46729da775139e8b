// Runs both classifier programs on each bad input listed in tests/badfiles/expected.txt, as the
// front end starts them, and checks the exit status, the report and stderr against the list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using program_run::firstLine;
using program_run::ProcessResult;
using program_run::readFile;
using program_run::run;

// Report lines are meant to be read at about 80 columns; none may be far longer, whatever the
// length of a value or name in the data.
constexpr std::size_t kLongestReportLine = 200;

// One line of the manifest.
struct Case {
    std::string name;         // the first word of the case column; the test's name
    std::string description;  // the whole case column
    bool generated = false;   // its files are made by the test
    std::vector<std::string> args;
    int status = -1;
    std::vector<std::pair<std::string, std::string>> checks;  // kind ("first", ...), text
    std::string problem;  // why the manifest line cannot be read, or ""
    int line = 0;
};

// So that a failing case prints as its name.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::string trim(std::string_view text) {
    const std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return "";
    return std::string(text.substr(b, text.find_last_not_of(' ') - b + 1));
}

std::vector<std::string> splitOn(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t at = text.find(separator, begin);
        parts.push_back(trim(std::string_view(text).substr(begin, at - begin)));
        if (at == std::string::npos) return parts;
        begin = at + separator.size();
    }
}

// Splits at spaces; "..." keeps spaces in one argument.
std::vector<std::string> splitArguments(const std::string& text) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false;
    bool any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) args.push_back(current);
    return args;
}

std::vector<Case> loadManifest() {
    std::vector<Case> cases;
    std::ifstream in(fs::path(BADFILES_DIR) / "expected.txt");
    std::string text;
    int lineNumber = 0;
    while (std::getline(in, text)) {
        ++lineNumber;
        if (trim(text).empty() || text[0] == '#') continue;
        Case c;
        c.line = lineNumber;
        const std::vector<std::string> columns = splitOn(text, " | ");
        c.description = columns[0];
        c.name = c.description.substr(0, c.description.find(' '));
        c.generated = c.description.find("(generated") != std::string::npos;
        if (columns.size() != 4) {
            c.problem = "expected 4 columns separated by \" | \"";
            cases.push_back(c);
            continue;
        }
        c.args = splitArguments(columns[1]);
        c.status = std::atoi(columns[2].c_str());
        for (const std::string& check : splitOn(columns[3], " ;; ")) {
            const std::size_t colon = check.find(": ");
            if (colon == std::string::npos) {
                c.problem = "a check without \"kind: \"";
                break;
            }
            c.checks.emplace_back(check.substr(0, colon), check.substr(colon + 2));
            const std::string& kind = c.checks.back().first;
            if (kind != "first" && kind != "has" && kind != "stderr")
                c.problem = "unknown check " + kind;
        }
        if (c.args.size() < 2) c.problem = "expected BASE and PERCENT";
        cases.push_back(c);
    }
    return cases;
}

const std::vector<Case>& manifest() {
    static const std::vector<Case> cases = loadManifest();
    return cases;
}

struct Program {
    std::string name;
    std::string path;
    std::string suffix;
};

std::vector<Program> programs() {
    return {{"classify", CLASSIFY_PATH, "_bayes"}, {"tarnel", TARNEL_PATH, "_interval"}};
}

void writeFile(const fs::path& path, std::string_view content) {
    std::ofstream(path, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
}

// Every path below `dir`, relative to it.
std::set<std::string> listing(const fs::path& dir) {
    std::set<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        paths.insert(fs::relative(e.path(), dir).string());
    return paths;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class BadFile : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("bad_files_" + std::to_string(getpid()) + "_" + GetParam().name);
        bin_ = dir_.string() + "_bin";
        removeAll();
        fs::create_directories(dir_);
    }
    void TearDown() override { removeAll(); }

    void removeAll() {
        for (const fs::path& p : {dir_, bin_}) {
            std::error_code ignored;
            if (fs::exists(p, ignored))
                fs::permissions(p, fs::perms::owner_all, fs::perm_options::add, ignored);
            fs::remove_all(p, ignored);
        }
    }

    void copyCaseFile(const std::string& name, const std::string& as) {
        const fs::path from = fs::path(BADFILES_DIR) / name;
        if (fs::exists(from)) fs::copy_file(from, dir_ / as);
    }

    // The large and the wide files, written here rather than kept in the repository.
    void writeLargeFiles(const std::string& name) {
        if (name == "long_value") {
            std::string text(100'000'000, 'v');
            text += ",x\n";
            writeFile(dir_ / "long_value.data", text);
        } else if (name == "long_line_of_fields") {
            std::string text(100'000'000, ',');
            for (std::size_t i = 0; i < text.size(); i += 2) text[i] = '1';
            text += "x\n";
            writeFile(dir_ / "long_fields.data", text);
        } else if (name == "long_line_among_records") {
            std::string text = "1,a,x\n2,b,y\n" + std::string(100'000'000, 'z') + "\n3,a,x\n";
            writeFile(dir_ / "long_middle.data", text);
        } else if (name == "wide_numeric" || name == "wide_nominal") {
            const bool nominal = name == "wide_nominal";
            const char* colours[] = {"red", "green", "blue"};
            std::string text;
            for (int r = 0; r < 20; ++r) {
                for (int a = 0; a < 10000; ++a) {
                    const int v = (r * 7 + a * 3) % 11;
                    text += nominal ? colours[v % 3] : std::to_string(v) + "." + std::to_string(r);
                    text += ',';
                }
                text += r % 2 ? "yes\n" : "no\n";
            }
            writeFile(dir_ / (name + ".data"), text);
        }
    }

    // The files whose reading once took time or memory without bound, or that are no plain
    // files. Returns false when `name` is none of them.
    bool writeHostileFiles(const std::string& name) {
        if (name == "unclosed_quote_long" || name == "unclosed_quote_long_csv") {
            std::string text = "1,a,x\n2,b,y\n3,\"c,x\n";
            for (int i = 4; i <= 200000; ++i)
                text +=
                    std::to_string(i) + ",v" + std::to_string(i % 7) + (i % 2 ? ",x\n" : ",y\n");
            const bool csv = name == "unclosed_quote_long_csv";
            writeFile(dir_ / (csv ? "open_quote.csv" : "open_quote.data"),
                      (csv ? "n,v,c\n" : "") + text);
        } else if (name == "quoted_field_long") {
            std::string text = "1,note 1,a,x\n2,\"";
            for (int i = 0; i < 160000; ++i) text += "line " + std::to_string(i) + " of a note\n";
            text += "\",b,y\n";
            for (int i = 3; i <= 40; ++i)
                text += std::to_string(i) + ",note " + std::to_string(i) + (i % 3 ? ",a" : ",b") +
                        (i % 2 ? ",x\n" : ",y\n");
            writeFile(dir_ / "long_field.data", text);
        } else if (name == "data_is_fifo") {
            mkfifo((dir_ / "fifo.data").c_str(), 0644);
        } else if (name == "data_is_dev_zero") {
            fs::create_symlink("/dev/zero", dir_ / "zero.data");
        } else if (name == "names_is_dev_zero" || name == "names_too_large") {
            const std::string base = name == "names_too_large" ? "bignames" : "devnames";
            copyCaseFile("good.data", base + ".data");
            if (name == "names_is_dev_zero")
                fs::create_symlink("/dev/zero", dir_ / (base + ".names"));
            else
                writeSparse(dir_ / (base + ".names"), (std::uintmax_t{64} << 20) + 1);
        } else if (name == "data_over_address_limit") {
            writeSparse(dir_ / "huge.data", 2'000'000'000);
        } else {
            return false;
        }
        return true;
    }

    // Writes a file of `size` bytes that takes no room on disk (all zeros).
    void writeSparse(const fs::path& path, std::uintmax_t size) {
        writeFile(path, "");
        fs::resize_file(path, size);
    }

    // Makes the files of a generated case. Returns false when the case is unknown here.
    bool generate(const Case& c) {
        const std::string& n = c.name;
        if (writeHostileFiles(n)) return true;
        if (n == "data_is_folder") {
            fs::create_directory(dir_ / "folder.data");
        } else if (n == "base_with_spaces_and_accents") {
            const fs::path base = dir_ / c.args[c.args.size() - 2];
            fs::create_directories(base.parent_path());
            fs::copy_file(fs::path(BADFILES_DIR) / "good.data", base.string() + ".data");
        } else if (n.rfind("long_", 0) == 0 || n.rfind("wide_", 0) == 0) {
            writeLargeFiles(n);
        } else if (n.rfind("readonly_", 0) == 0) {
            unprivileged_ = true;
            const std::string base = c.args[c.args.size() - 2];
            copyCaseFile(base + ".data", base + ".data");
            if (n != "readonly_folder") {
                for (const Program& p : programs()) {
                    const fs::path report = dir_ / (base + p.suffix + ".output");
                    oldReports_[p.name] = "An old report of " + p.name + "\nthat must survive.\n";
                    writeFile(report, oldReports_[p.name]);
                    // Writable itself (to the unprivileged user too), or read-only.
                    fs::permissions(report,
                                    fs::perms(n == "readonly_folder_old_report" ? 0666 : 0444));
                }
            }
            // Open to the unprivileged user when the test is root; read-only where the case
            // says so.
            const bool folderReadOnly = n.rfind("readonly_folder", 0) == 0;
            fs::permissions(dir_, fs::perms(folderReadOnly ? 0555 : 0777));
        } else {
            return false;
        }
        return true;
    }

    // The program to start: when the test is root and the run is unprivileged, a copy open to
    // that user (the build folder may not be).
    std::string startable(const Program& p) {
        if (!unprivileged_ || !program_run::runningAsRoot()) return p.path;
        fs::create_directories(bin_);
        fs::permissions(bin_, fs::perms(0755));
        const fs::path copy = bin_ / p.name;
        if (!fs::exists(copy)) fs::copy_file(p.path, copy);
        fs::permissions(copy, fs::perms(0755));
        return copy.string();
    }

    fs::path dir_;
    fs::path bin_;
    bool unprivileged_ = false;
    std::map<std::string, std::string> oldReports_;  // by program name
};

// The limits a case runs under: a case that once took time or memory without bound must end
// within them. An address-space limit cannot be set under AddressSanitizer, which reserves far
// more address space than it uses.
program_run::RunLimits limitsOf(const Case& c) {
    program_run::RunLimits limits;
    const std::string& n = c.name;
    if (n == "unclosed_quote_long" || n == "unclosed_quote_long_csv" || n == "quoted_field_long") {
        limits.cpuSeconds = 20;
        limits.wallSeconds = 60;
    } else if (n == "data_is_fifo") {
        limits.wallSeconds = 20;
    } else if (n == "data_is_dev_zero" || n == "names_is_dev_zero" ||
               n == "data_over_address_limit") {
        limits.wallSeconds = 60;
#ifndef CLASSIFIERS_SANITIZE
        limits.addressBytes = std::uint64_t{n == "data_over_address_limit" ? 1u : 2u} << 30;
#endif
    }
    return limits;
}

// Returns the length of the data file suffix `name` ends with (.data, .csv, .tsv, .txt, .arff),
// or 0: a case named by its file rather than its BASE.
std::size_t tableSuffix(const std::string& name) {
    for (const std::string suffix : {".data", ".csv", ".tsv", ".txt", ".arff"})
        if (name.size() > suffix.size() && name.ends_with(suffix)) return suffix.size();
    return 0;
}

TEST_P(BadFile, EndsInTheExpectedReportOrError) {
    const Case& c = GetParam();
    ASSERT_EQ(c.problem, "") << "expected.txt, line " << c.line;
    const std::string base = c.args[c.args.size() - 2];
#ifdef CLASSIFIERS_SANITIZE
    if (c.name == "data_over_address_limit")
        GTEST_SKIP() << "no address-space limit holds under AddressSanitizer";
#endif
    if (c.generated) {
        ASSERT_TRUE(generate(c)) << "no files are made for the generated case " << c.name;
    } else if (fs::is_directory(fs::path(BADFILES_DIR) / base)) {
        fs::copy(fs::path(BADFILES_DIR) / base, dir_ / base, fs::copy_options::recursive);
    } else if (tableSuffix(base) > 0) {
        copyCaseFile(base, base);
    } else {
        for (const char* suffix : {".data", ".names", ".csv", ".tsv", ".txt", ".arff"})
            copyCaseFile(base + suffix, base + suffix);
    }
    for (const Program& p : programs()) {
        SCOPED_TRACE(p.name + " " + c.description);
        const std::set<std::string> before = listing(dir_);
        const ProcessResult r = run(startable(p), c.args, dir_, unprivileged_, limitsOf(c));
        // A folder's report lies beside it, named by the folder (a trailing '/' dropped).
        const std::string stem = base.substr(0, base.find_last_not_of('/') + 1);
        const std::string reportName =
            stem.substr(0, stem.size() - tableSuffix(stem)) + p.suffix + ".output";
        const fs::path reportPath = dir_ / reportName;
        const std::string report = readFile(reportPath);
        ASSERT_FALSE(r.timedOut) << "still running after " << limitsOf(c).wallSeconds << " s";
        ASSERT_NE(r.status, -1) << "killed by signal " << r.signal << "; stderr: " << r.err;
        ASSERT_NE(r.status, 125) << "could not switch to the unprivileged user";
        EXPECT_EQ(r.status, c.status) << "report: " << firstLine(report) << "\nstderr: " << r.err;

        bool reportWritten = true;
        for (const auto& [kind, rawText] : c.checks) {
            const std::string text = replaceAll(rawText, "{report}", reportName);
            if (kind == "first") {
                EXPECT_EQ(firstLine(report), text);
                EXPECT_EQ(firstLine(r.err), p.name + ": " + text);
            } else if (kind == "has") {
                // A sentence may be wrapped over lines: as it stands, or unwrapped.
                EXPECT_TRUE(report.find(text) != std::string::npos ||
                            program_run::unwrapped(report).find(text) != std::string::npos)
                    << "missing: " << text << "\nreport:\n"
                    << report.substr(0, 2000);
            } else if (kind == "stderr") {
                reportWritten = false;
                EXPECT_EQ(firstLine(r.err), p.name + ": " + text);
                const auto old = oldReports_.find(p.name);
                if (old != oldReports_.end())
                    EXPECT_EQ(report, old->second) << "the old report changed";
                else
                    EXPECT_FALSE(fs::exists(reportPath));
            }
        }
        if (c.status == 0) {
            EXPECT_EQ(r.err, "");
            EXPECT_NE(report.find("\nAccuracy: "), std::string::npos) << report.substr(0, 2000);
            std::size_t longest = 0;
            for (std::size_t b = 0, e; b < report.size(); b = e + 1) {
                e = std::min(report.find('\n', b), report.size());
                longest = std::max(longest, e - b);
            }
            EXPECT_LE(longest, kLongestReportLine) << "a report line is too long to read";
            // The Result line second (with at most one indented line more, each within 80
            // columns), then at most three notes of at most three lines each before the first
            // blank line.
            std::istringstream head(report);
            std::string line;
            std::getline(head, line);
            std::getline(head, line);
            EXPECT_EQ(line.rfind("Result: ", 0), 0u) << report.substr(0, 600);
            EXPECT_LE(line.size(), 82u) << line;  // the en dash takes 3 bytes, one column
            int notes = 0;
            int noteLines = 0;
            bool continued = true;
            while (std::getline(head, line) && !line.empty()) {
                if (continued && line.rfind("  ", 0) == 0) {
                    continued = false;
                    continue;
                }
                continued = false;
                const bool starts = line.rfind("Note: ", 0) == 0 || line.rfind("Warning: ", 0) == 0;
                notes += starts;
                noteLines = starts ? 1 : noteLines + 1;
                EXPECT_LE(noteLines, 3) << report.substr(0, 1200);
            }
            EXPECT_LE(notes, 3) << report.substr(0, 1200);
        } else if (c.status == 2) {
            EXPECT_NE(r.err.find("Usage: " + p.name + " [options] BASE PERCENT"),
                      std::string::npos);
        }
        // Nothing else appears: no temporary file is left behind.
        std::set<std::string> expected = before;
        if (reportWritten) expected.insert(reportName);
        EXPECT_EQ(listing(dir_), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Manifest, BadFile, ::testing::ValuesIn(manifest()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return info.param.name;
                         });

// The corpus and its list stay in step: each file is some case's, names are unique, and every
// kind of outcome is covered.
TEST(BadFiles, EveryFileHasACaseAndEveryCaseItsFiles) {
    const std::vector<Case>& cases = manifest();
    ASSERT_GE(cases.size(), 50u);
    std::set<std::string> names;
    std::set<std::string> bases;
    std::set<int> statuses;
    for (const Case& c : cases) {
        EXPECT_EQ(c.problem, "") << "expected.txt, line " << c.line;
        EXPECT_TRUE(names.insert(c.name).second) << "two cases named " << c.name;
        if (c.args.size() >= 2 && !c.generated) {
            std::string base = c.args[c.args.size() - 2];
            base = base.substr(0, base.find_last_not_of('/') + 1);  // a folder
            bases.insert(base.substr(0, base.size() - tableSuffix(base)));
            if (tableSuffix(base) > 0) {
                EXPECT_TRUE(fs::exists(fs::path(BADFILES_DIR) / base)) << base;
            }
        }
        statuses.insert(c.status);
    }
    EXPECT_EQ(statuses, (std::set<int>{0, 1, 2}));
    for (const auto& e : fs::directory_iterator(BADFILES_DIR)) {
        const fs::path file = e.path().filename();
        if (file == "expected.txt") continue;
        EXPECT_TRUE(bases.count(file.stem().string())) << file << " belongs to no case";
    }
    for (const std::string& base : bases) {
        bool found = false;
        for (const char* suffix : {".data", ".csv", ".tsv", ".txt", ".arff", ""})
            found = found || fs::exists(fs::path(BADFILES_DIR) / (base + suffix));
        EXPECT_TRUE(found || base == "nothing") << base;
    }
}

}  // namespace
