#include "cli/report_sections.h"

#include <cmath>
#include <sstream>

#include "data/attribute_spread.h"
#include "util/display_width.h"
#include "util/number_format.h"
#include "util/report_text.h"
#include "util/text_table.h"

namespace mining {

namespace {

using Clock = RunTimes::Clock;

// Writes "Attributes:  N" and a wrapped list of the attributes of each type that has any;
// attributes with no value or one value in every record are listed apart, once.
void writeAttributes(std::ostream& out, const Dataset& data) {
    std::vector<std::string> numeric, nominal, constant, empty, ignored;
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        const Attribute& attribute = data.attribute(a);
        if (attribute.type == AttributeType::Ignored) {
            ignored.push_back(attribute.name);
            continue;
        }
        const Spread spread = spreadOf(data, a);
        if (spread == Spread::NoValues) {
            empty.push_back(attribute.name);
        } else if (spread == Spread::OneValue) {
            constant.push_back(attribute.name);
        } else {
            (attribute.type == AttributeType::Numeric ? numeric : nominal)
                .push_back(attribute.name);
        }
    }
    out << "Attributes:  " << data.attributeCount() << '\n';
    auto typeLine = [&](const char* label, const std::vector<std::string>& names) {
        if (names.empty()) return;
        writeWrappedList(
            out, std::string("  ") + label + " (" + std::to_string(names.size()) + "): ", names);
    };
    typeLine("numeric", numeric);
    typeLine("nominal", nominal);
    typeLine("one value in every record", constant);
    typeLine("no values (all missing)", empty);
    typeLine("ignored", ignored);
}

std::string seconds(Clock::duration d) {
    return formatFixed(std::chrono::duration<double>(d).count(), 3) + " s";
}

}  // namespace

std::string paragraph(const std::vector<std::string>& notes) {
    std::string text;
    std::string firstLabel;
    for (const std::string& note : notes) {
        const std::size_t colon = note.find(": ");
        const std::string label = colon == std::string::npos ? "" : note.substr(0, colon + 2);
        if (text.empty()) {
            firstLabel = label;
            text = note;
        } else {
            std::string sentence = label == firstLabel ? note.substr(label.size()) : note;
            if (!sentence.empty() && sentence[0] >= 'a' && sentence[0] <= 'z')
                sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
            text += " " + sentence;
        }
    }
    return text;
}

void writeDataLines(std::ostream& out, const Dataset& data) {
    // How the file was read goes on under the path where it must; the path is never broken.
    const std::string lead = "Data file:   ";
    const std::string indent(lead.size(), ' ');
    std::vector<std::string> words;
    std::istringstream how(data.readAs().empty() ? "" : "(" + data.readAs() + ")");
    for (std::string word; how >> word;) words.push_back(word);
    if (lead.size() + displayWidth(data.dataPath()) > kReportWidth) {
        out << lead << data.dataPath() << '\n';
        if (!words.empty()) writeLines(out, wrapPieces(words, indent, indent));
    } else {
        words.insert(words.begin(), data.dataPath());
        writeLines(out, wrapPieces(words, lead, indent));
    }
    out << "Names file:  "
        << (data.namesPath().empty() ? "none (types and values taken from the data)"
                                     : data.namesPath())
        << '\n';
    writeAttributes(out, data);
    writeWrappedList(
        out, "Class values (" + std::to_string(data.classCount()) + "): ", data.classValues());
    out << "Records:     " << data.recordsInAll() + data.missingClassCount() << " read, "
        << data.missingClassCount() << " left out (class missing), " << data.recordsInAll()
        << " used\n";
}

void writeSplitLine(std::ostream& out, const RunOptions& options, const RunResult& result) {
    const std::size_t tested = result.onTraining ? 0 : result.testCount;
    const std::string counts = "Split:       " + formatGeneral(options.percent, 6) +
                               " % train: " + std::to_string(result.trainCount) + " training, " +
                               std::to_string(tested) + " test records;";
    const std::string order = options.keepOrder
                                  ? "in file order (--keep-order)"
                                  : "shuffled with seed " + std::to_string(options.seed);
    if (counts.size() + 1 + order.size() <= kReportColumns)
        out << counts << ' ' << order << '\n';
    else
        out << counts << "\n             " << order << '\n';
}

std::string foldLine(const std::vector<double>& accuracies) {
    double sum = 0;
    for (const double a : accuracies) sum += a;
    const double n = static_cast<double>(accuracies.size());
    const double mean = sum / n;
    double squares = 0;
    for (const double a : accuracies) squares += (a - mean) * (a - mean);
    const double sd = accuracies.size() > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
    return "Accuracy over the " + std::to_string(accuracies.size()) + " folds: mean " +
           formatFixed(100.0 * mean, 2) + " %, standard deviation " + formatFixed(100.0 * sd, 2) +
           " %\n";
}

void writeTime(std::ostream& out, const RunTimes& t) {
    const Clock::time_point end = Clock::now();
    out << "\nTime: " << seconds(end - t.start) << " (reading " << seconds(t.readDone - t.start)
        << ", training " << seconds(t.trainDone - t.readDone) << ", testing "
        << seconds(t.testDone - t.trainDone) << ")\n";
}

}  // namespace mining
