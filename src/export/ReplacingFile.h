#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nimbary {

// A file written beside its target under a temporary name and renamed over
// the target only once it is complete, so a failed or cancelled write never
// leaves half a file and never costs the file that was there before.
// Writes are buffered; a new file takes the mode of the file it replaces.
class ReplacingFile {
public:
    enum class Failure {
        None,
        Create,   // the temporary file cannot be made (no such folder, not writable),
                  // or the target is a file that may not be written
        Write,    // writing or flushing failed (a full disk, say)
        Replace,  // the finished file cannot take the target's place
    };

    explicit ReplacingFile(const std::string& target);
    ~ReplacingFile();  // removes the temporary file unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Create();
    bool Write(const void* data, size_t size);
    // Flushes, syncs and renames over the target.
    bool Commit();

    Failure Failed() const { return failure_; }
    int Errno() const { return errno_; }
    // The file existed before (then a Create failure means it cannot be replaced).
    bool TargetExisted() const { return targetExisted_; }
    const std::string& TempPath() const { return temp_; }

private:
    bool Flush();
    bool Fail(Failure failure);
    void Discard();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool targetExisted_ = false;
    Failure failure_ = Failure::None;
    int errno_ = 0;
    std::vector<char> buffer_;
};

}  // namespace nimbary
