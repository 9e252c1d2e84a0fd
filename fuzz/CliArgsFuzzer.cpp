// nimbary-cli's argument parsing: the option list, the record range with its
// times, and the station options, on arguments made of the fuzz input.
//   bytes 0-3: a station time for the time format round trip
//   the rest:  the arguments, separated by NUL bytes
//
// Properties: options come out and everything else stays in order; a value
// taken is never empty; a time that parses formats and parses back to
// itself, its period is the day, minute or second it names; a rejected
// parse says why.
#include <algorithm>

#include "ArgList.h"
#include "BackendChoice.h"
#include "CalendarTime.h"
#include "FuzzSupport.h"
#include "RecordRange.h"
#include "TimeArg.h"

using namespace nimbary;
using namespace nimbary::cli;

namespace {

// `v` without any copy of `name`.
std::vector<std::string> Without(std::vector<std::string> v, const std::string& name) {
    v.erase(std::remove(v.begin(), v.end(), name), v.end());
    return v;
}

void CheckTime(const std::string& text) {
    uint32_t start = 0, end = 0;
    std::string error;
    const bool ok = TimeArg::Parse(text, false, start, error);
    FUZZ_CHECK(ok == TimeArg::Parse(text, true, end, error));
    if (!ok) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(end >= start);
    const uint32_t span = end - start + 1;
    FUZZ_CHECK(span == 1 || span == 60 || span == 86400 || end == 0xFFFFFFFFu);
    // The period's first second, written out, names that second.
    uint32_t back = 0;
    FUZZ_CHECK(TimeArg::Parse(TimeArg::Format(start), false, back, error) && back == start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    if (size < 4) return 0;
    const uint32_t t = static_cast<uint32_t>(in[0] | in[1] << 8 | in[2] << 16) | uint32_t(in[3]) << 24;
    std::string error;
    uint32_t back = 0;
    FUZZ_CHECK(TimeArg::Parse(TimeArg::Format(t), false, back, error) && back == t);

    std::vector<std::string> args;
    std::string cur;
    for (size_t i = 4; i < size; ++i) {
        if (in[i] == 0) {
            args.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(in[i]);
        }
    }
    args.push_back(cur);
    if (args.size() > 64) return 0;

    for (const std::string& a : args) CheckTime(a);

    // The flag goes, every copy of it, and nothing else.
    {
        ArgList list(args);
        const bool had = std::find(args.begin(), args.end(), "--all") != args.end();
        FUZZ_CHECK(list.TakeFlag("--all") == had);
        FUZZ_CHECK(list.Raw() == Without(args, "--all"));
    }
    // A value taken is the option's own; the rest stays in order.
    {
        ArgList list(args);
        std::string value;
        bool given = false;
        const size_t n = args.size();
        if (list.TakeValue("--out", value, given)) {
            if (given) {
                FUZZ_CHECK(!value.empty());
                FUZZ_CHECK(list.Raw().size() == n - 1 || list.Raw().size() == n - 2);
            } else {
                FUZZ_CHECK(list.Raw() == args);
            }
        } else {
            FUZZ_CHECK(!list.Error().empty());
        }
        std::vector<std::string> positional;
        if (list.Finish(positional, 1, 3)) {
            FUZZ_CHECK(positional == list.Raw() && positional.size() >= 1 && positional.size() <= 3);
            for (const std::string& p : positional) FUZZ_CHECK(p.size() <= 1 || p[0] != '-');
        } else {
            FUZZ_CHECK(!list.Error().empty());
        }
    }
    // The record range of `records` and `export`.
    {
        ArgList list(args);
        RecordRange range;
        std::string why;
        if (range.Take(list, why)) {
            FUZZ_CHECK(range.start >= 0.0 && range.end >= 0.0);
        } else {
            FUZZ_CHECK(!why.empty());
        }
    }
    // The station options every command with a station takes.
    {
        std::vector<std::string> rest = args;
        BackendOptions options;
        const std::string why = BackendOptions::Parse(rest, options);
        if (why.empty()) {
            FUZZ_CHECK(rest.size() <= args.size());
            // What is left is in its old order.
            size_t j = 0;
            for (const std::string& a : args)
                if (j < rest.size() && rest[j] == a) ++j;
            FUZZ_CHECK(j == rest.size());
        }
    }
    return 0;
}
