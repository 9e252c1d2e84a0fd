#pragma once

#include <string>
#include <vector>

namespace nimbary::cli {

// A command's arguments, taken out option by option; what is left at the end
// are the positional arguments (or mistakes, which Finish reports).
class ArgList {
public:
    explicit ArgList(std::vector<std::string> args) : args_(std::move(args)) {}

    // Removes `--name`; true when it was there.
    bool TakeFlag(const std::string& name);
    // Removes `--name VALUE` or `--name=VALUE`. False (with Error() set) when
    // the option is there without a value; `given` tells whether it was there.
    bool TakeValue(const std::string& name, std::string& value, bool& given);

    // The raw list, for parsers that take their own options out of it.
    std::vector<std::string>& Raw() { return args_; }

    // The positional arguments left; false (with Error() set) when an
    // unknown option is left or the count is outside [min, max]. `missing`
    // names what a too-short list lacks.
    bool Finish(std::vector<std::string>& positional, size_t min, size_t max,
                const char* missing = "an argument");

    const std::string& Error() const { return error_; }

private:
    std::vector<std::string> args_;
    std::string error_;
};

}  // namespace nimbary::cli
