// Times a tarnel SQL script (tarnel --sql) in SQLite: loads a .data file into the table its
// CREATE TABLE makes (an in-memory database; '?' and empty fields as NULL), then runs each of
// its queries three times and prints the median time of each, with the rows it returned, beside
// a reference measured in the same run: a plain scan that reads every column of every row
// (SELECT * FROM the table), the least any query over the whole table costs. Last, the scoring
// query filtered by each class in turn, which returns the records of that class's query.
//
// Usage: sql_speed SCRIPT DATA
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string readText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Returns the table name of a CREATE TABLE statement: what stands between its first quotes.
std::string tableOf(const std::string& create) {
    const std::size_t open = create.find('"');
    std::size_t close = open + 1;
    while (close < create.size()) {
        if (create[close] == '"' && (close + 1 == create.size() || create[close + 1] != '"')) break;
        close += create[close] == '"' ? 2 : 1;
    }
    return create.substr(open, close - open + 1);
}

bool fail(sqlite3* db, const char* what) {
    std::fprintf(stderr, "sql_speed: %s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

// Loads the comma-separated records of `path` into `table` of `columns` columns.
bool load(sqlite3* db, const std::string& table, int columns, const char* path, long& rows) {
    std::string insert = "INSERT INTO " + table + " VALUES (?";
    for (int c = 1; c < columns; ++c) insert += ", ?";
    insert += ")";
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, insert.c_str(), -1, &s, nullptr) != SQLITE_OK)
        return fail(db, "insert");
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    std::ifstream in(path);
    rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        sqlite3_reset(s);
        std::size_t begin = 0;
        for (int c = 0; c < columns; ++c) {
            std::size_t end = line.find(',', begin);
            if (end == std::string::npos) end = line.size();
            const std::size_t length = end - begin;
            if (length == 0 || (length == 1 && line[begin] == '?')) {
                sqlite3_bind_null(s, c + 1);
            } else {
                sqlite3_bind_text(s, c + 1, line.data() + begin, static_cast<int>(length),
                                  SQLITE_TRANSIENT);
            }
            begin = std::min(line.size(), end + 1);
        }
        if (sqlite3_step(s) != SQLITE_DONE) return fail(db, "load");
        ++rows;
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(s);
    return true;
}

// Runs `s` to its end three times; returns the median seconds and sets `rows`.
double medianRun(sqlite3_stmt* s, long& rows) {
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        sqlite3_reset(s);
        rows = 0;
        const auto start = Clock::now();
        while (sqlite3_step(s) == SQLITE_ROW) ++rows;
        times.push_back(secondsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

// Returns the literals of the classes the script's comments name ("-- Class 'A': ...").
std::vector<std::string> classLiterals(const std::string& script) {
    std::vector<std::string> literals;
    const std::string mark = "\n-- Class '";
    for (std::size_t at = script.find(mark); at != std::string::npos;
         at = script.find(mark, at + 1)) {
        std::size_t end = at + mark.size();
        while (end < script.size() && !(script[end] == '\'' && script[end + 1] != '\''))
            end += script[end] == '\'' ? 2 : 1;
        literals.push_back(script.substr(at + mark.size() - 1, end - (at + mark.size()) + 2));
    }
    return literals;
}

// Times the scoring query `scoring` filtered by each class: the records of a class's query,
// found by the nested CASE instead of the class's disjunction of rules.
void timeClassesByScoring(sqlite3* db, std::string scoring, const std::vector<std::string>& classes,
                          double scan) {
    scoring.erase(scoring.find_last_of(';'));
    for (const std::string& literal : classes) {
        const std::string query =
            "SELECT * FROM (" + scoring + ") AS s WHERE \"predicted\" = " + literal;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, query.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            fail(db, "prepare");
            return;
        }
        long rows = 0;
        const double t = medianRun(s, rows);
        std::printf("scoring CASE filtered by %s: %ld rows, %.3f s, %.1f x the reference\n",
                    literal.c_str(), rows, t, t / scan);
        sqlite3_finalize(s);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("Usage: sql_speed SCRIPT DATA\n", stderr);
        return 2;
    }
    const std::string script = readText(argv[1]);
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    const char* sql = script.c_str();
    std::string table;
    double scan = 0;
    int query = 0;
    while (*sql) {
        sqlite3_stmt* s = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, &tail) != SQLITE_OK) return !fail(db, "prepare");
        const std::string text(sql, static_cast<std::size_t>(tail - sql));
        sql = tail;
        if (s == nullptr) continue;
        if (!sqlite3_stmt_readonly(s)) {
            if (sqlite3_step(s) != SQLITE_DONE) return !fail(db, "create");
            table = tableOf(text.substr(text.find("CREATE TABLE")));
            sqlite3_stmt* all = nullptr;
            sqlite3_prepare_v2(db, ("SELECT * FROM " + table).c_str(), -1, &all, nullptr);
            const int columns = sqlite3_column_count(all);
            long rows = 0;
            const auto start = Clock::now();
            if (!load(db, table, columns, argv[2], rows)) return 1;
            std::printf("load: %ld rows, %d columns, %.2f s\n", rows, columns, secondsSince(start));
            scan = medianRun(all, rows);
            sqlite3_finalize(all);
            std::printf("reference, SELECT * FROM %s: %ld rows, %.3f s\n", table.c_str(), rows,
                        scan);
            sqlite3_finalize(s);
            continue;
        }
        long rows = 0;
        const double t = medianRun(s, rows);
        const bool scoring =
            sqlite3_column_count(s) > 0 &&
            std::string(sqlite3_column_name(s, sqlite3_column_count(s) - 1)) == "predicted";
        std::printf("%s: %ld rows, %.3f s, %.1f x the reference\n",
                    scoring ? "scoring CASE" : ("class query " + std::to_string(++query)).c_str(),
                    rows, t, t / scan);
        sqlite3_finalize(s);
        if (scoring) timeClassesByScoring(db, text, classLiterals(script), scan);
    }
    sqlite3_close(db);
    return 0;
}
