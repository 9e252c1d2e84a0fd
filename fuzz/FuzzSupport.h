#pragma once

// What every fuzz target shares: a check that stops the run with a message
// (assert() is gone in optimised builds), and a canonical byte form of
// decoded values so "the same result" compares every field bit for bit,
// NaN included, without padding bytes getting in the way.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <type_traits>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace nimbary::fuzz {

// FUZZ_VERBOSE=1 in the environment: the targets say what became of an
// input (for checking seeds; fuzzing runs without it).
inline bool Verbose() {
    static const bool on = std::getenv("FUZZ_VERBOSE") != nullptr;
    return on;
}

class Canon {
public:
    Canon() { bytes_.reserve(512); }
    template <class T>
    Canon& operator<<(const T& v) {
        if constexpr (std::is_array_v<T>) {
            for (const auto& x : v) *this << x;
        } else {
            static_assert(std::is_arithmetic_v<T>);
            char b[sizeof(T)];
            std::memcpy(b, &v, sizeof(T));
            bytes_.append(b, sizeof(T));
        }
        return *this;
    }
    const std::string& str() const { return bytes_; }

private:
    std::string bytes_;
};

// A fresh folder under the temporary folder (or /dev/shm when there is
// one, to spare the disk), removed at the end.
class ScratchDir {
public:
    ScratchDir() {
        const std::string base =
            std::filesystem::is_directory("/dev/shm") ? std::string("/dev/shm")
                                                      : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/nimbary-fuzz-XXXXXX";
        if (char* made = mkdtemp(pattern.data())) path_ = made;
        if (path_.empty()) std::abort();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace nimbary::fuzz
