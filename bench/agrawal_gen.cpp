// Writes the synthetic loan-applicant data of Agrawal, Imielinski and Swami ("Database Mining: A
// Performance Perspective", IEEE TKDE 1993) as BASE.data and BASE.names, for benchmarks and for
// measuring a classifier's error above the intrinsic error of the data.
//
// Attributes, drawn independently and uniformly:
//   salary      20000 .. 150000
//   commission  0 when salary >= 75000, else 10000 .. 75000
//   age         20 .. 80
//   elevel      0 .. 4 (nominal)
//   car         1 .. 20 (nominal)
//   zipcode     0 .. 8 (nominal)
//   hvalue      0.5k .. 1.5k x 100000 with k = 9 - zipcode
//   hyears      1 .. 30
//   loan        0 .. 500000
// The class (A or B) is one of the ten functions F1 .. F10, applied to the values as drawn. Then
// every numeric value v with range r is perturbed to v + u x p x r, u uniform on [-0.5, 0.5] and p
// the perturbation factor (default 0.05); a commission of 0 stays 0 (it is not drawn from a range).
// The written values are rounded to cents. With --intrinsic the program also writes BASE.intrinsic,
// one line per record: the function applied to the written (perturbed) values, so a benchmark can
// tell the error that no classifier can avoid. --noise flips each label with the given probability
// after all of that (the intrinsic label ignores the flip too).
//
// --example writes instead the small three-attribute set (age, zipcode, elevel): class A when
// age < 40 and elevel in {0, 1}, or 40 <= age < 60 and elevel in {0 .. 3}, or age >= 60 and
// elevel = 0; no perturbation.
//
// --wide writes instead a set of many nominal attributes with many values each: --attributes N
// (default 50) attributes a1 .. aN, each drawing one of --values V (default 1000) codes v0 .. vV-1
// uniformly; class A when a1 is below vV/2 (before --noise flips it). It stresses the per-value
// tables of the models rather than number parsing. With --classes K it has K classes c0 .. cK-1
// instead: each record draws its class uniformly, and half of its attributes (floor(N/2), chosen
// anew for each record) draw their code from the class's own window, the W = max(1, V/K) codes
// from floor(c x V / K) on, while the others draw one of all V codes uniformly; --noise then
// replaces the class by one of the other K - 1, drawn uniformly. So --wide --records 100000
// --values 1000 --classes 100 writes 100 classes whose windows are 10 codes wide, about 25 MB.
//
// --missing F writes each non-class field as '?' with probability F. The holes come from a random
// stream of their own, so a set with holes has the values and labels of the same seed without.
//
// Random numbers: std::mt19937_64 seeded with --seed; a uniform real is the top 53 bits of the next
// output scaled to [0, 1), an integer in [0, n) is the next output mod n, so the data are the same
// on every platform.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

struct Applicant {
    double salary = 0;
    double commission = 0;
    double age = 0;
    int elevel = 0;
    int car = 0;
    int zipcode = 0;
    double hvalue = 0;
    double hyears = 0;
    double loan = 0;
};

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    // Returns a number uniform on [0, 1).
    double unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    // Returns a number uniform on [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    // Returns an integer uniform on [0, n).
    int below(int n) { return static_cast<int>(engine_() % static_cast<std::uint64_t>(n)); }

private:
    std::mt19937_64 engine_;
};

// Decides which fields are written as '?'.
class Holes {
public:
    Holes(double fraction, std::uint64_t seed) : fraction_(fraction), random_(~seed) {}
    // Returns true when the next field is to be missing.
    bool next() { return fraction_ > 0 && random_.unit() < fraction_; }

private:
    double fraction_;
    Random random_;
};

bool in(double v, double lo, double hi) { return v >= lo && v <= hi; }

// Returns true when the applicant is in group A under function f (1 .. 10).
bool group_a(int f, const Applicant& a) {
    const bool young = a.age < 40;
    const bool middle = a.age >= 40 && a.age < 60;
    switch (f) {
        case 1:
            return a.age < 40 || a.age >= 60;
        case 2:
            if (young) return in(a.salary, 50000, 100000);
            if (middle) return in(a.salary, 75000, 125000);
            return in(a.salary, 25000, 75000);
        case 3:
            if (young) return a.elevel <= 1;
            if (middle) return a.elevel >= 1 && a.elevel <= 3;
            return a.elevel >= 2;
        case 4:
            if (young) {
                return a.elevel <= 1 ? in(a.salary, 25000, 75000) : in(a.salary, 50000, 100000);
            }
            if (middle) {
                return a.elevel >= 1 && a.elevel <= 3 ? in(a.salary, 50000, 100000)
                                                      : in(a.salary, 75000, 125000);
            }
            return a.elevel >= 2 ? in(a.salary, 50000, 100000) : in(a.salary, 25000, 75000);
        case 5:
            if (young) {
                return in(a.salary, 50000, 100000) ? in(a.loan, 100000, 300000)
                                                   : in(a.loan, 200000, 400000);
            }
            if (middle) {
                return in(a.salary, 75000, 125000) ? in(a.loan, 200000, 400000)
                                                   : in(a.loan, 300000, 500000);
            }
            return in(a.salary, 25000, 75000) ? in(a.loan, 300000, 500000)
                                              : in(a.loan, 100000, 300000);
        case 6: {
            const double total = a.salary + a.commission;
            if (young) return in(total, 50000, 100000);
            if (middle) return in(total, 75000, 125000);
            return in(total, 25000, 75000);
        }
        case 7:
            return 0.67 * (a.salary + a.commission) - 0.2 * a.loan - 20000 > 0;
        case 8:
            return 0.67 * (a.salary + a.commission) - 5000 * a.elevel - 20000 > 0;
        case 9:
            return 0.67 * (a.salary + a.commission) - 5000 * a.elevel - 0.2 * a.loan - 10000 > 0;
        case 10: {
            const double equity = a.hyears < 20 ? 0 : 0.1 * a.hvalue * (a.hyears - 20);
            return 0.67 * (a.salary + a.commission) - 5000 * a.elevel + 0.2 * equity - 10000 > 0;
        }
        default:
            return false;
    }
}

bool example_group_a(double age, int elevel) {
    if (age < 40) return elevel <= 1;
    if (age < 60) return elevel <= 3;
    return elevel == 0;
}

double cents(double v) { return std::round(v * 100) / 100; }

// Appends text to a large output buffer and flushes it to a file when full.
class Writer {
public:
    explicit Writer(std::FILE* file) : file_(file) {}
    ~Writer() { flush(); }
    void number(double v) {
        reserve(40);
        auto r = std::to_chars(buf_ + used_, buf_ + sizeof buf_, v, std::chars_format::fixed, 2);
        used_ = static_cast<std::size_t>(r.ptr - buf_);
    }
    void integer(int v) {
        reserve(20);
        auto r = std::to_chars(buf_ + used_, buf_ + sizeof buf_, v);
        used_ = static_cast<std::size_t>(r.ptr - buf_);
    }
    void text(std::string_view s) {
        reserve(s.size());
        std::memcpy(buf_ + used_, s.data(), s.size());
        used_ += s.size();
    }
    // Writes a value and its comma, or '?' and the comma when hole is true.
    void field(double v, bool hole) {
        if (hole) {
            text("?");
        } else {
            number(v);
        }
        text(",");
    }
    void field(int v, bool hole) {
        if (hole) {
            text("?");
        } else {
            integer(v);
        }
        text(",");
    }
    bool flush() {
        bool ok = std::fwrite(buf_, 1, used_, file_) == used_;
        used_ = 0;
        return ok && ok_;
    }

private:
    void reserve(std::size_t n) {
        if (used_ + n > sizeof buf_) ok_ = flush() && ok_;
    }
    std::FILE* file_;
    char buf_[1 << 16];
    std::size_t used_ = 0;
    bool ok_ = true;
};

struct Options {
    int function = 2;
    long long records = 12500;
    std::uint64_t seed = 1;
    double perturbation = 0.05;
    double noise = 0;
    double missing = 0;
    bool intrinsic = false;
    bool example = false;
    bool wide = false;
    int attributes = 50;
    int values = 1000;
    int classes = 0;  // 0: the two classes A and B, decided by a1
    std::string base;
};

const char* const kUsage =
    "Usage: agrawal_gen [options] BASE\n"
    "Writes BASE.data and BASE.names with the synthetic loan-applicant data.\n"
    "  --function N      class function F1 .. F10 (default 2)\n"
    "  --records N       number of records (default 12500)\n"
    "  --seed S          random seed (default 1)\n"
    "  --perturbation P  perturbation factor of numeric values (default 0.05)\n"
    "  --noise P         probability of flipping each label (default 0)\n"
    "  --missing F       probability of writing each non-class field as '?' (default 0)\n"
    "  --intrinsic       also write BASE.intrinsic: the function of the perturbed values\n"
    "  --example         the three-attribute example set (age, zipcode, elevel) instead\n"
    "  --wide            many nominal attributes (a1 .. aN, values v0 .. vV-1) instead;\n"
    "                    class A when a1 is below vV/2\n"
    "  --attributes N    with --wide: number of attributes (default 50)\n"
    "  --values V        with --wide: values per attribute (default 1000)\n"
    "  --classes K       with --wide: K classes c0 .. cK-1 (2 .. 1000) instead of A and B;\n"
    "                    half of each record's values from its class's window of the\n"
    "                    codes, max(1, V/K) wide from floor(c x V / K), half uniform\n";

bool parse_number(const char* s, double& out) {
    char* end = nullptr;
    out = std::strtod(s, &end);
    return end != s && *end == '\0' && std::isfinite(out);
}

// Returns 0 when the arguments are valid, else prints why and returns 2.
int parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&](double& out, double lo, double hi) {
            if (i + 1 >= argc || !parse_number(argv[i + 1], out) || out < lo || out > hi) {
                std::fprintf(stderr, "agrawal_gen: %s needs a number in [%g, %g]\n", argv[i], lo,
                             hi);
                return false;
            }
            ++i;
            return true;
        };
        double v = 0;
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--function") {
            if (!value(v, 1, 10) || v != std::floor(v)) return 2;
            o.function = static_cast<int>(v);
        } else if (a == "--records") {
            if (!value(v, 1, 1e10) || v != std::floor(v)) return 2;
            o.records = static_cast<long long>(v);
        } else if (a == "--seed") {
            if (!value(v, 0, 9007199254740992.0) || v != std::floor(v)) return 2;
            o.seed = static_cast<std::uint64_t>(v);
        } else if (a == "--perturbation") {
            if (!value(o.perturbation, 0, 1)) return 2;
        } else if (a == "--noise") {
            if (!value(o.noise, 0, 1)) return 2;
        } else if (a == "--missing") {
            if (!value(o.missing, 0, 1)) return 2;
        } else if (a == "--attributes") {
            if (!value(v, 1, 100000) || v != std::floor(v)) return 2;
            o.attributes = static_cast<int>(v);
        } else if (a == "--values") {
            if (!value(v, 2, 1000000) || v != std::floor(v)) return 2;
            o.values = static_cast<int>(v);
        } else if (a == "--classes") {
            if (!value(v, 2, 1000) || v != std::floor(v)) return 2;
            o.classes = static_cast<int>(v);
        } else if (a == "--wide") {
            o.wide = true;
        } else if (a == "--intrinsic") {
            o.intrinsic = true;
        } else if (a == "--example") {
            o.example = true;
        } else if (a.starts_with("--") || !o.base.empty()) {
            std::fprintf(stderr, "agrawal_gen: unexpected argument %s\n%s", argv[i], kUsage);
            return 2;
        } else {
            o.base = argv[i];
        }
    }
    if (o.base.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (o.wide && (o.example || o.intrinsic)) {
        std::fputs("agrawal_gen: --wide goes with neither --example nor --intrinsic\n", stderr);
        return 2;
    }
    if (o.classes != 0 && !o.wide) {
        std::fputs("agrawal_gen: --classes goes with --wide\n", stderr);
        return 2;
    }
    return 0;
}

std::FILE* open_or_die(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "agrawal_gen: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        std::exit(1);
    }
    return f;
}

bool close_ok(std::FILE* f) { return std::fclose(f) == 0; }

int write_example(const Options& o) {
    std::FILE* names = open_or_die(o.base + ".names");
    std::fputs(
        "A, B.\nage: continuous.\nzipcode: 0, 1, 2, 3, 4, 5, 6, 7, 8.\n"
        "elevel: 0, 1, 2, 3, 4.\n",
        names);
    bool ok = close_ok(names);
    std::FILE* data = open_or_die(o.base + ".data");
    {
        Writer w(data);
        Random rnd(o.seed);
        Holes holes(o.missing, o.seed);
        for (long long n = 0; n < o.records; ++n) {
            double age = cents(rnd.uniform(20, 80));
            int zipcode = rnd.below(9);
            int elevel = rnd.below(5);
            bool a = example_group_a(age, elevel);
            if (o.noise > 0 && rnd.unit() < o.noise) a = !a;
            w.field(age, holes.next());
            w.field(zipcode, holes.next());
            w.field(elevel, holes.next());
            w.text(a ? "A\n" : "B\n");
        }
        ok = w.flush() && ok;
    }
    ok = close_ok(data) && ok;
    if (!ok) std::fprintf(stderr, "agrawal_gen: writing %s failed\n", o.base.c_str());
    return ok ? 0 : 1;
}

int write_agrawal(const Options& o) {
    std::FILE* names = open_or_die(o.base + ".names");
    std::fputs(
        "A, B.\nsalary: continuous.\ncommission: continuous.\nage: continuous.\n"
        "elevel: 0, 1, 2, 3, 4.\n"
        "car: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20.\n"
        "zipcode: 0, 1, 2, 3, 4, 5, 6, 7, 8.\nhvalue: continuous.\nhyears: continuous.\n"
        "loan: continuous.\n",
        names);
    bool ok = close_ok(names);
    std::FILE* data = open_or_die(o.base + ".data");
    std::FILE* intrinsic = o.intrinsic ? open_or_die(o.base + ".intrinsic") : nullptr;
    {
        Writer w(data);
        Writer wi(intrinsic ? intrinsic : data);
        Random rnd(o.seed);
        Holes holes(o.missing, o.seed);
        const double p = o.perturbation;
        for (long long n = 0; n < o.records; ++n) {
            Applicant a;
            a.salary = rnd.uniform(20000, 150000);
            a.commission = a.salary >= 75000 ? 0 : rnd.uniform(10000, 75000);
            a.age = rnd.uniform(20, 80);
            a.elevel = rnd.below(5);
            a.car = 1 + rnd.below(20);
            a.zipcode = rnd.below(9);
            const double k = 9 - a.zipcode;
            a.hvalue = rnd.uniform(0.5 * k, 1.5 * k) * 100000;
            a.hyears = rnd.uniform(1, 30);
            a.loan = rnd.uniform(0, 500000);
            bool label = group_a(o.function, a);

            auto perturb = [&](double v, double range) {
                return cents(v + rnd.uniform(-0.5, 0.5) * p * range);
            };
            a.salary = perturb(a.salary, 130000);
            if (a.commission != 0) a.commission = perturb(a.commission, 65000);
            a.age = perturb(a.age, 60);
            a.hvalue = perturb(a.hvalue, k * 100000);
            a.hyears = perturb(a.hyears, 29);
            a.loan = perturb(a.loan, 500000);
            if (o.noise > 0 && rnd.unit() < o.noise) label = !label;

            w.field(a.salary, holes.next());
            w.field(a.commission, holes.next());
            w.field(a.age, holes.next());
            w.field(a.elevel, holes.next());
            w.field(a.car, holes.next());
            w.field(a.zipcode, holes.next());
            w.field(a.hvalue, holes.next());
            w.field(a.hyears, holes.next());
            w.field(a.loan, holes.next());
            w.text(label ? "A\n" : "B\n");
            if (intrinsic) wi.text(group_a(o.function, a) ? "A\n" : "B\n");
        }
        ok = w.flush() && ok;
        if (intrinsic) ok = wi.flush() && ok;
    }
    ok = close_ok(data) && ok;
    if (intrinsic) ok = close_ok(intrinsic) && ok;
    if (!ok) std::fprintf(stderr, "agrawal_gen: writing %s failed\n", o.base.c_str());
    return ok ? 0 : 1;
}

// Writes the class line of the wide set's names: "A, B." or "c0, c1, ..., cK-1.".
void wide_classes(const Options& o, Writer& w) {
    if (o.classes == 0) {
        w.text("A, B.\n");
        return;
    }
    for (int c = 0; c < o.classes; ++c) {
        w.text(c == 0 ? "c" : ", c");
        w.integer(c);
    }
    w.text(".\n");
}

// Draws the codes of one record of the many-class wide set for class c: half of the attributes,
// chosen by a partial shuffle of order, from the class's window, the rest from all the codes.
void many_class_codes(const Options& o, int c, Random& rnd, std::vector<int>& order,
                      std::vector<char>& near, std::vector<int>& codes) {
    const int n = o.attributes;
    std::fill(near.begin(), near.end(), 0);
    for (int i = 0; i < n / 2; ++i) {
        std::swap(order[i], order[i + rnd.below(n - i)]);
        near[order[i]] = 1;
    }
    const int width = std::max(1, o.values / o.classes);
    const int start = static_cast<int>(static_cast<long long>(c) * o.values / o.classes);
    for (int a = 0; a < n; ++a) {
        codes[a] = near[a] ? (start + rnd.below(width)) % o.values : rnd.below(o.values);
    }
}

int write_wide(const Options& o) {
    std::FILE* names = open_or_die(o.base + ".names");
    bool ok = true;
    {
        Writer w(names);
        wide_classes(o, w);
        for (int a = 1; a <= o.attributes; ++a) {
            w.text("a");
            w.integer(a);
            w.text(":");
            for (int v = 0; v < o.values; ++v) {
                w.text(v == 0 ? " v" : ", v");
                w.integer(v);
            }
            w.text(".\n");
        }
        ok = w.flush();
    }
    ok = close_ok(names) && ok;
    std::FILE* data = open_or_die(o.base + ".data");
    {
        Writer w(data);
        Random rnd(o.seed);
        Holes holes(o.missing, o.seed);
        std::vector<int> order(o.attributes), codes(o.attributes);
        std::iota(order.begin(), order.end(), 0);
        std::vector<char> near(o.attributes);
        for (long long n = 0; n < o.records; ++n) {
            int label = 0;
            if (o.classes == 0) {
                for (int a = 0; a < o.attributes; ++a) codes[a] = rnd.below(o.values);
                label = codes[0] < o.values / 2 ? 0 : 1;
            } else {
                label = rnd.below(o.classes);
                many_class_codes(o, label, rnd, order, near, codes);
            }
            for (int a = 0; a < o.attributes; ++a) {
                if (holes.next()) {
                    w.text("?,");
                } else {
                    w.text("v");
                    w.field(codes[a], false);
                }
            }
            if (o.noise > 0 && rnd.unit() < o.noise) {
                label =
                    o.classes == 0 ? 1 - label : (label + 1 + rnd.below(o.classes - 1)) % o.classes;
            }
            if (o.classes == 0) {
                w.text(label == 0 ? "A\n" : "B\n");
            } else {
                w.text("c");
                w.integer(label);
                w.text("\n");
            }
        }
        ok = w.flush() && ok;
    }
    ok = close_ok(data) && ok;
    if (!ok) std::fprintf(stderr, "agrawal_gen: writing %s failed\n", o.base.c_str());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (int rc = parse(argc, argv, o)) return rc;
    if (o.wide) return write_wide(o);
    return o.example ? write_example(o) : write_agrawal(o);
}
