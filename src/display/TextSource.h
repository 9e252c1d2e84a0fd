#pragma once

#include <string>

namespace nimbary {

// Where the display gets its captions, labels and series names. The program
// reads its own string table; the plug-in reads its host's, under shifted ids.
class TextSource {
public:
    virtual ~TextSource() = default;
    // UTF-8 text of `id` in the current language; empty when unknown.
    virtual std::string Load(int id) = 0;
};

// The program's string table in its current language.
class StringTableSource : public TextSource {
public:
    std::string Load(int id) override;
};

}  // namespace nimbary
