// The capture file parser on any text.
// Properties: a rejected text says which line and why; an accepted one,
// written back as a capture, parses to the same reports.
#include "CaptureFile.h"
#include "FuzzSupport.h"

using namespace nimbary;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    const std::string text(reinterpret_cast<const char*>(in), size);
    std::vector<CaptureLine> lines;
    std::string error;
    if (!ParseCapture(text, lines, error)) {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        return 0;
    }
    std::string written = "# again\n";
    for (const CaptureLine& l : lines) {
        FUZZ_CHECK(!l.bytes.empty() && l.bytes.size() <= 64 && l.lineNumber > 0);
        written += l.kind == CaptureLine::Out ? "> " : "< ";
        written += HexBytes(l.bytes.data(), l.bytes.size()) + "\n";
    }
    std::vector<CaptureLine> again;
    std::string error2;
    FUZZ_CHECK(ParseCapture(written, again, error2));
    FUZZ_CHECK(again.size() == lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        FUZZ_CHECK(again[i].kind == lines[i].kind && again[i].bytes == lines[i].bytes);
        FUZZ_CHECK(again[i].lineNumber == static_cast<int>(i) + 2);
    }
    // Parsing the same text twice gives the same reports.
    std::vector<CaptureLine> twice;
    FUZZ_CHECK(ParseCapture(text, twice, error2) && twice.size() == lines.size());
    return 0;
}
