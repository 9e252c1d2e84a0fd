#pragma once

#include <sys/resource.h>

#include <csignal>

namespace nimbary::testing {

// A full disk for this process while in scope: writes past `bytes` fail with
// EFBIG (SIGXFSZ ignored, as the programs ignore it).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &was_);
        rlimit small = was_;
        small.rlim_cur = bytes;
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &was_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit was_{};
};

}  // namespace nimbary::testing
