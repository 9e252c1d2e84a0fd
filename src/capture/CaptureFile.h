#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The capture file: one line per report that crossed the transport.
//   > 03 08 0B            an output report: the frame, length byte first
//   < 1A 08 ...           an input report: its 64 bytes
//   # ...                 a comment
namespace nimbary {

struct CaptureLine {
    enum Kind { Out, In } kind;
    std::vector<uint8_t> bytes;
    int lineNumber = 0;
};

// Parses a capture. Blank lines and comments are skipped; anything else
// that is not a well-formed line fails with `error` naming the line.
bool ParseCapture(const std::string& text, std::vector<CaptureLine>& lines, std::string& error);
bool LoadCapture(const std::string& path, std::vector<CaptureLine>& lines, std::string& error);

std::string HexBytes(const uint8_t* bytes, size_t n);

// Appends lines to a capture file as they happen, flushed at once so a crash
// loses nothing that crossed the wire.
class CaptureWriter {
public:
    // Opens `path` for appending and writes the heading comment; Ok() tells
    // whether that worked.
    CaptureWriter(const std::string& path, const std::string& program, const std::string& version);
    bool Ok() const { return file_ != nullptr; }
    void Output(const uint8_t* frame, size_t n);
    void Input(const uint8_t* report64);

private:
    void Line(char mark, const uint8_t* bytes, size_t n);

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::mutex mutex_;
};

}  // namespace nimbary
