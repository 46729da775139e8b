// Run by mpirun with any number of processes: every case runs first on one process (rank 0
// alone, --time-limit 0, the single-machine run) and then on all of them (the cluster run),
// in the same folder, and every file the two leave behind (report, saved model, SQL,
// predictions) must be the same bytes but for the report's Time line and the run's identifier.
// Argument: the folder of the example sets, then the folder of the awkward files. Exits 1 when
// any case differs, naming it.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/bayes_program.h"
#include "cli/interval_program.h"
#include "cli/run_classifier.h"
#include "mpi_collective.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every file in `folder` (not in its sub-folders), by name.
std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) names.insert(e.path().filename().string());
    return names;
}

// `text` less its Time line, its run identifier (from the report's Run line) written RUN.
std::string normalised(std::string text, const std::string& runId) {
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Time:", 0) != 0) out += line + '\n';
    if (runId.empty()) return out;
    for (std::size_t at = out.find(runId); at != std::string::npos; at = out.find(runId, at))
        out.replace(at, runId.size(), "RUN");
    return out;
}

std::string runIdOf(const std::string& report) {
    const std::size_t at = report.find("\nRun:  ");
    if (at == std::string::npos) return "";
    return report.substr(at + 7, 16);
}

int run(const std::string& program, const std::vector<std::string>& args,
        mining::Collective* cluster) {
    std::vector<std::string> words{program + (cluster ? "-mpi" : "")};
    if (!cluster) words.push_back("--time-limit=0");
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);
    if (program == "classify") {
        mining::BayesProgram p;
        return cluster ? mining::runClassifier(argc, argv.data(), p, *cluster)
                       : mining::runClassifier(argc, argv.data(), p);
    }
    mining::IntervalProgram p;
    return cluster ? mining::runClassifier(argc, argv.data(), p, *cluster)
                   : mining::runClassifier(argc, argv.data(), p);
}

struct Case {
    std::string program;
    std::vector<std::string> args;  // BASE PERCENT and options; paths inside the case's folder
    fs::path folder;                // where its outputs land
};

// Runs `c` on one process and then on all; returns the difference, or "".
std::string compare(const Case& c, mining::Collective& all) {
    std::string done;
    std::set<std::string> before;
    std::map<std::string, std::string> one;
    int oneStatus = 0;
    if (all.rank() == 0) {
        before = filesIn(c.folder);
        oneStatus = run(c.program, c.args, nullptr);
        for (const std::string& name : filesIn(c.folder))
            if (before.count(name) == 0) {
                one[name] = readFile(c.folder / name);
                fs::remove(c.folder / name);
            }
    }
    all.broadcast(done);  // the cluster run starts once the single one is put away
    const int allStatus = run(c.program, c.args, &all);
    if (all.rank() != 0) return "";
    std::map<std::string, std::string> many;
    for (const std::string& name : filesIn(c.folder))
        if (before.count(name) == 0) {
            many[name] = readFile(c.folder / name);
            fs::remove(c.folder / name);
        }
    std::string why;
    if (oneStatus != allStatus)
        why += " exit " + std::to_string(oneStatus) + " vs " + std::to_string(allStatus) + ";";
    std::string oneId;
    std::string manyId;
    for (const auto& [name, text] : one)
        if (name.ends_with(".output")) oneId = runIdOf(text);
    for (const auto& [name, text] : many)
        if (name.ends_with(".output")) manyId = runIdOf(text);
    for (const auto& [name, text] : one) {
        const auto other = many.find(name);
        if (other == many.end())
            why += " " + name + " not written;";
        else if (normalised(text, oneId) != normalised(other->second, manyId))
            why += " " + name + " differs;";
    }
    for (const auto& [name, text] : many)
        if (one.count(name) == 0) why += " " + name + " written only by the cluster run;";
    return why;
}

// A seeded table of `records` records: two numeric attributes (one of decimals, one of
// doubles of many digits), two nominal ones, the class; about 2 % missing values.
std::string generated(std::size_t records, bool crlf) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::ostringstream text;
    text.precision(17);
    const char* end = crlf ? "\r\n" : "\n";
    text << "age,score,colour,size,class" << end;
    const char* colours[] = {"red", "green", "blue", "cyan"};
    const char* sizes[] = {"s", "m", "l"};
    for (std::size_t r = 0; r < records; ++r) {
        const double age = std::floor(unit(random) * 800) / 10 + 18;
        const double score = unit(random) * 3 - 1;
        const std::size_t colour = random() % 4;
        const std::size_t size = random() % 3;
        const bool yes = (age > 40) != (colour == 2) || unit(random) < 0.1;
        const auto field = [&](const auto& value) {
            if (unit(random) < 0.02)
                text << '?';
            else
                text << value;
        };
        field(age);
        text << ',';
        field(score);
        text << ',';
        field(colours[colour]);
        text << ',';
        field(sizes[size]);
        text << ',' << (yes ? "yes" : "no") << end;
    }
    return text.str();
}

// Writes the awkward files into `folder`; returns their cases.
std::vector<Case> awkwardCases(const fs::path& folder) {
    std::vector<Case> cases;
    const auto both = [&](const fs::path& dir, const std::vector<std::string>& args) {
        for (const char* program : {"classify", "tarnel"}) {
            std::vector<std::string> a = args;
            a.insert(a.end(), {"--save-model", (dir / "saved.model").string()});
            if (std::string(program) == "tarnel")
                a.insert(a.end(), {"--sql", (dir / "rules.sql").string()});
            cases.push_back({program, a, dir});
        }
    };
    fs::create_directories(folder);
    writeFile(folder / "large.csv", generated(200000, false));
    both(folder, {(folder / "large.csv").string(), "66.67", "--predictions"});
    const std::string model = (folder / "saved.model").string();
    writeFile(folder / "crlf.csv", generated(3000, true));
    both(folder, {(folder / "crlf.csv").string(), "50"});
    // Each treatment of the numbers trained from the shares, the training records tested, and
    // cross-validation with the predictions kept.
    const std::string crlf = (folder / "crlf.csv").string();
    for (const char* setting : {"--kernel", "--discretize", "--per-attribute"})
        cases.push_back({"classify", {crlf, "50", setting, "--save-model", model}, folder});
    both(folder, {crlf, "100", "--keep-order"});
    cases.push_back(
        {"classify", {crlf, "--folds", "3", "--predictions", "--save-model", model}, folder});
    // Quoted fields that hold line ends, all through the file: every boundary between shares
    // falls near one.
    std::string quoted = "note,x,class\n";
    for (int r = 0; r < 400; ++r)
        quoted += "\"line one\nline " + std::to_string(r % 7) + "\"," + std::to_string(r % 13) +
                  "," + (r % 3 == 0 ? "a" : "b") + "\n";
    writeFile(folder / "quoted.csv", quoted);
    both(folder, {(folder / "quoted.csv").string(), "66.67"});
    // ... and a quote inside an unquoted field early on, which throws the count of quotes off.
    std::string stray = "height,note,class\n5'6\",plain,a\n";
    for (int r = 0; r < 300; ++r)
        stray += std::to_string(r % 9) + ",\"one\ntwo " + std::to_string(r % 4) + "\"," +
                 (r % 2 ? "a" : "b") + "\n";
    writeFile(folder / "stray.csv", stray);
    both(folder, {(folder / "stray.csv").string(), "66.67"});
    // A column of short decimals in its first half and of doubles of many digits in its
    // second: each share may store it its own way, and the intervals must not care.
    std::ostringstream mixed;
    mixed.precision(17);
    mixed << "x,z,class\n";
    for (int r = 0; r < 2000; ++r) {
        const double x = (r * 37 % 1000) / 10.0;
        mixed << (r < 1000 ? x : x + 1.0 / (r + 3)) << ',' << r % 7 << ','
              << (x + r % 11 > 55 ? "hi" : "lo") << '\n';
    }
    writeFile(folder / "mixed.csv", mixed.str());
    both(folder, {(folder / "mixed.csv").string(), "66.67"});
    writeFile(folder / "few.data", "1,x,a\n2,y,b\n3,x,a\n");
    both(folder, {(folder / "few.data").string(), "66.67"});
    // A value and a class first seen in the last record, and a column that turns out not
    // numeric there.
    std::string late;
    for (int r = 0; r < 600; ++r)
        late +=
            std::to_string(r % 17) + "," + (r % 2 ? "p" : "q") + "," + (r % 5 ? "c1" : "c2") + "\n";
    late += "many,new,c3\n";
    writeFile(folder / "late.data", late);
    both(folder, {(folder / "late.data").string(), "66.67"});
    // Five shards with a header each, one of them empty.
    const fs::path shards = folder / "shards";
    fs::create_directories(shards);
    std::string table = generated(5000, false);
    // Two odd values in the numeric first column, in the second and the fifth shard: the note
    // names their files and lines, which the processes holding them find in their shares.
    for (const std::size_t nth : {1500, 4200}) {
        std::size_t at = 0;
        for (std::size_t k = 0; k < nth; ++k) at = table.find('\n', at) + 1;
        table.replace(at, table.find(',', at) - at, "unknown");
    }
    const std::size_t header = table.find('\n') + 1;
    std::size_t from = header;
    for (int k = 0; k < 5; ++k) {
        std::size_t to = k == 4 ? table.size() : table.find('\n', from + (table.size() / 5)) + 1;
        if (to == 0 || to > table.size()) to = table.size();
        writeFile(shards / ("part-" + std::to_string(k) + ".csv"),
                  table.substr(0, header) + table.substr(from, to - from));
        from = to;
    }
    writeFile(shards / "part-5.csv", "");
    both(folder, {shards.string() + "/", "66.67", "--seed", "3"});
    // A folder whose second column is numbers in its first file and, late in its second, a
    // word: each share read so far is read again, its column nominal, after its bytes were let
    // go.
    const fs::path lateShards = folder / "late-shards";
    fs::create_directories(lateShards);
    for (int k = 0; k < 2; ++k) {
        std::string part;
        for (int r = 0; r < 3000; ++r)
            part += std::to_string(r % 17) + "," +
                    (k == 1 && r == 2990 ? std::string("many") : std::to_string(r % 5)) + "," +
                    (r % 3 ? "c1" : "c2") + "\n";
        writeFile(lateShards / ("part-" + std::to_string(k) + ".data"), part);
    }
    both(folder, {lateShards.string() + "/", "66.67"});
    // A folder whose first line is taken for a header until its names turn up among the
    // values: the files are read again, without one, after the first reading let the first
    // lines go.
    const fs::path recordFirst = folder / "record-first";
    fs::create_directories(recordFirst);
    std::string rows[2];
    for (int r = 0; r < 3000; ++r)
        rows[r / 1500] += std::to_string(r * 37 % 90 + 1) + "," + (r % 3 ? "p" : "q") + ",note-" +
                          std::string(20 + r % 13, 'x') + "," + (r * 7 % 5 < 2 ? "yes" : "no") +
                          "\n";
    writeFile(recordFirst / "a.csv", "size,p,note,yes\n" + rows[0]);
    writeFile(recordFirst / "b.csv", rows[1]);
    both(folder, {recordFirst.string() + "/", "66.67"});
    // A folder of the quoted records in three files, the last without its last line end: the
    // shares cut across the files, each process bringing in only the bytes it reads.
    const fs::path quotedShards = folder / "quoted-shards";
    fs::create_directories(quotedShards);
    const std::size_t quotedHeader = quoted.find('\n') + 1;
    const std::size_t third = quoted.find("\"line one", quoted.size() / 3);
    const std::size_t twoThirds = quoted.find("\"line one", 2 * quoted.size() / 3);
    writeFile(quotedShards / "a.csv", quoted.substr(0, third));
    writeFile(quotedShards / "b.csv",
              quoted.substr(0, quotedHeader) + quoted.substr(third, twoThirds - third));
    writeFile(quotedShards / "c.csv", quoted.substr(0, quotedHeader) +
                                          quoted.substr(twoThirds, quoted.size() - twoThirds - 1));
    both(folder, {quotedShards.string() + "/", "66.67"});
    return cases;
}

// The example sets and every awkward file of the test suite, the programs in turn.
std::vector<Case> fileCases(const fs::path& examples, const fs::path& badfiles,
                            const fs::path& work) {
    std::vector<Case> cases;
    fs::copy(examples, work / "examples", fs::copy_options::recursive);
    fs::copy(badfiles, work / "badfiles", fs::copy_options::recursive);
    for (const char* set : {"breast-cancer", "diabetes", "iris", "labor", "vote", "weather.nominal",
                            "iris.csv", "labor.arff"}) {
        const fs::path dir = work / "examples";
        for (const char* program : {"classify", "tarnel"})
            cases.push_back(
                {program,
                 {(dir / set).string(), "66.67", "--save-model", (dir / "saved.model").string()},
                 dir});
    }
    for (const char* program : {"tarnel", "classify"})
        cases.push_back(
            {program, {(work / "examples/diabetes").string(), "--folds", "5"}, work / "examples"});
    cases.push_back(
        {"classify", {(work / "examples/labor").string(), "--folds", "10"}, work / "examples"});
    cases.push_back(
        {"classify", {(work / "examples/vote").string(), "50", "--keep-order"}, work / "examples"});
    std::vector<fs::path> bad;
    for (const fs::directory_entry& e : fs::directory_iterator(work / "badfiles")) {
        const std::string name = e.path().filename().string();
        if (e.is_directory() || (!name.ends_with(".names") && name != "expected.txt"))
            bad.push_back(e.path());
    }
    std::sort(bad.begin(), bad.end());
    for (std::size_t k = 0; k < bad.size(); ++k) {
        std::string base = bad[k].string();
        if (fs::is_directory(bad[k])) base += "/";
        cases.push_back({k % 2 ? "tarnel" : "classify", {base, "66.67"}, work / "badfiles"});
    }
    return cases;
}

}  // namespace

// Each process reads its own copy of diabetes (as processes on machines that do not share the
// files would), the last process's differing from the others' as `variant` says: the run must end
// at rank 0 with one line naming that process and what differs, exit 1, and no file but the
// error report. Returns what went wrong, or "".
std::string copiesThatDiffer(const std::string& variant, const fs::path& examples,
                             const fs::path& work, mining::Collective& all) {
    const fs::path folder = work / "copies" / variant;
    const int last = all.size() - 1;
    if (all.rank() == 0)
        for (int k = 0; k <= last; ++k) {
            const fs::path own = folder / std::to_string(k);
            fs::create_directories(own);
            std::string data = readFile(examples / "diabetes.data");
            std::string names = readFile(examples / "diabetes.names");
            if (k == last && variant == "longer") data += data.substr(0, data.find('\n') + 1);
            if (k == last && variant == "same size") data[data.find_first_of("123456789")] ^= 3;
            if (k == last && variant == "names") names += "\n";
            writeFile(own / "diabetes.data", data);
            writeFile(own / "diabetes.names", names);
        }
    std::string ready;
    all.broadcast(ready);
    const fs::path own = folder / std::to_string(all.rank());
    const int status = run("tarnel",
                           {(own / "diabetes").string(), "66.67", "--save-model",
                            (own / "m.model").string(), "--sql", (own / "m.sql").string()},
                           &all);
    std::string why;
    const std::set<std::string> written = filesIn(own);
    const std::set<std::string> inputs{"diabetes.data", "diabetes.names"};
    if (all.rank() != 0) {
        if (written != inputs) why = "process " + std::to_string(all.rank()) + " wrote files";
    } else {
        const std::string report = readFile(own / "diabetes_interval.output");
        const std::string file = variant == "names" ? "diabetes.names" : "diabetes.data";
        const std::string how =
            variant == "same size"
                ? "(as long, other bytes)"
                : "(" + std::to_string(fs::file_size(folder / std::to_string(last) / file)) +
                      " bytes against " + std::to_string(fs::file_size(own / file)) + ")";
        const std::string lead = "Error: process " + std::to_string(last) + ": ";
        if (status != 1 || report.rfind(lead, 0) != 0 ||
            report.find("this copy differs from the first process's " + how) == std::string::npos ||
            std::count(report.begin(), report.end(), '\n') != 1)
            why = "exit " + std::to_string(status) + ", report: " + report;
        std::set<std::string> expected = inputs;
        expected.insert("diabetes_interval.output");
        if (written != expected) why += " other files written";
    }
    return why;
}

int main(int argc, char** argv) {
    mining::MpiCollective all(argc, argv);
    if (argc != 3) {
        if (all.rank() == 0) std::cerr << "usage: same_as_one_process EXAMPLES BADFILES\n";
        return 2;
    }
    // Every process reads the same folder; rank 0 makes it and says where.
    std::string work;
    std::vector<Case> cases;
    if (all.rank() == 0) {
        work = (fs::temp_directory_path() /
                ("same_as_one_" + std::to_string(all.size()) + "_" + std::to_string(getpid())))
                   .string();
        fs::remove_all(work);
        fs::create_directories(work);
    }
    all.broadcast(work);
    if (all.rank() == 0) {
        cases = fileCases(argv[1], argv[2], work);
        const std::vector<Case> awkward = awkwardCases(fs::path(work) / "awkward");
        cases.insert(cases.end(), awkward.begin(), awkward.end());
    }
    // The other processes learn the cases by their words.
    std::string list;
    for (const Case& c : cases) {
        list += c.program + '\t' + c.folder.string();
        for (const std::string& a : c.args) list += '\t' + a;
        list += '\n';
    }
    all.broadcast(list);
    if (all.rank() != 0) {
        std::istringstream lines(list);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> words;
            std::istringstream fields(line);
            for (std::string w; std::getline(fields, w, '\t');) words.push_back(w);
            cases.push_back({words[0], {words.begin() + 2, words.end()}, words[1]});
        }
    }
    int differ = 0;
    // A cluster run reads every record: a time limit is a usage error, which --help documents,
    // and no process writes a report but rank 0.
    {
        const fs::path base = fs::path(work) / "examples/diabetes";
        const int status = run("classify", {base.string(), "66.67", "--time-limit", "3"}, &all);
        if (all.rank() == 0) {
            const std::string report = readFile(base.string() + "_bayes.output");
            fs::remove(base.string() + "_bayes.output");
            if (status != 2 || report.rfind("Error: --time-limit does not apply", 0) != 0) {
                ++differ;
                std::cerr << all.size() << " processes: --time-limit 3 gave exit " << status
                          << " and the report: " << report << '\n';
            }
        }
        std::ostringstream help;
        std::streambuf* out = std::cout.rdbuf(help.rdbuf());
        run("tarnel", {"--help"}, &all);
        std::cout.rdbuf(out);
        const bool says =
            help.str().find("--time-limit other than 0 is a usage error") != std::string::npos;
        if (says != (all.rank() == 0)) {
            ++differ;
            std::cerr << "process " << all.rank() << ": --help "
                      << (says ? "printed" : "did not print") << " the cluster run's paragraph\n";
        }
    }
    if (all.size() > 1)
        for (const std::string variant : {"longer", "same size", "names"})
            if (const std::string why = copiesThatDiffer(variant, argv[1], work, all);
                !why.empty()) {
                ++differ;
                std::cerr << all.size() << " processes, copies that differ (" << variant
                          << "): " << why << '\n';
            }
    for (const Case& c : cases) {
        const std::string why = compare(c, all);
        if (!why.empty()) {
            ++differ;
            std::cerr << all.size() << " processes, " << c.program;
            for (const std::string& a : c.args) std::cerr << ' ' << a;
            std::cerr << ":" << why << '\n';
        }
    }
    std::string verdict = std::to_string(differ);
    all.broadcast(verdict);
    if (all.rank() == 0) {
        std::cerr << cases.size() << " cases, " << differ << " differ\n";
        fs::remove_all(work);
    }
    return verdict == "0" ? 0 : 1;
}
