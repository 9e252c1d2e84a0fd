#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nimbary {

// A file written aside and put in its target's place only once it is
// complete, so a failed or cancelled write never leaves half a file and
// never costs the file that was there before. Writes are buffered; a new
// file takes the mode of the file it replaces.
//
// Aside means, in order of preference: an unnamed file in the target's
// folder (O_TMPFILE), named only for the rename, so a crash leaves nothing;
// a short hidden name there (".nimbary-XXXXXXXX.part"), held locked while
// written, so the next file made in that folder removes one a crash left;
// or, when the folder may not be written but the target may, a file in the
// temporary folder, copied over the target at the end.
class ReplacingFile {
public:
    enum class Failure {
        None,
        Create,   // nothing can be made (no such folder, not writable),
                  // or the target is a file that may not be written
        Write,    // writing or flushing failed (a full disk, say)
        Replace,  // the finished file cannot take the target's place
    };

    explicit ReplacingFile(const std::string& target);
    ~ReplacingFile();  // drops the file written unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Create();
    bool Write(const void* data, size_t size);
    // Flushes, syncs and puts the file in the target's place.
    bool Commit();

    Failure Failed() const { return failure_; }
    int Errno() const { return errno_; }
    // The file existed before (then a Create failure means it cannot be replaced).
    bool TargetExisted() const { return targetExisted_; }

    // Leftovers of our own naming in `folder` that nobody is writing; a
    // crash or a kill can leave them. Removed by every Create there.
    static void RemoveStaleParts(const std::string& folder);

private:
    enum class Aside { Unnamed, Named, Elsewhere };

    bool OpenAside(const std::string& folder);
    bool OpenNamed(const std::string& folder);
    bool Flush();
    bool NameUnnamed();
    bool CopyOverTarget();
    bool Fail(Failure failure);
    void Discard();

    std::string target_;
    std::string folder_;
    std::string temp_;  // the named file aside, while it has a name
    Aside aside_ = Aside::Named;
    int fd_ = -1;
    bool targetExisted_ = false;
    Failure failure_ = Failure::None;
    int errno_ = 0;
    std::vector<char> buffer_;
};

}  // namespace nimbary
