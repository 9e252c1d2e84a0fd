#pragma once

#include <cerrno>
#include <string>

// Everything the user sees as a message box goes through this interface, so
// the GUI shows real boxes, the command-line tool prints, and tests record.
namespace nimbary {

// A write that failed for want of room: a full disk, a full quota, or a
// file-size limit (ulimit -f), all of which the user fixes by making room.
inline bool IsDiskFull(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

enum class MessageIcon { None, Information, Warning, Error, Question };

class Messages {
public:
    virtual ~Messages() = default;
    // Shows `text` with an OK button. An empty caption means the default one.
    virtual void Show(const std::string& text, MessageIcon icon,
                      const std::string& caption = std::string()) = 0;
    // Asks a yes/no question with No as the default; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption = std::string()) = 0;
};

// Writes messages to standard error and answers every question with No.
class StderrMessages : public Messages {
public:
    void Show(const std::string& text, MessageIcon icon, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
};

}  // namespace nimbary
