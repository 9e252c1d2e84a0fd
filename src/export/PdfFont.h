#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "StringTable.h"

namespace nimbary {

// The PDF's one font at size 10: "Arial", or "黑体" for the Chinese
// interface, as fontconfig resolves the family (Arial to a metric-compatible
// sans; the Chinese family, asked for with language zh-cn, to an installed
// CJK font), loaded through cairo-ft with unhinted metrics so that
// measured widths are the font's own.
//
// Of the fonts fontconfig offers for the family, in its order, the first
// that has every character of the texts it is given is taken; when none
// has them all, there is no font (Error() names what is missing). A
// character met later that the font lacks is drawn as the missing glyph
// and noted in Missing().
class PdfFont {
public:
    static constexpr double kSize = 10.0;

    // A text turned into glyphs placed from the origin, with its advance.
    struct Glyphs {
        std::vector<cairo_glyph_t> glyphs;
        double width = 0.0;
    };

    explicit PdfFont(text::Language language, const std::vector<std::string>& texts = {});
    ~PdfFont();
    PdfFont(const PdfFont&) = delete;
    PdfFont& operator=(const PdfFont&) = delete;

    // False when no usable font was found; Error() says why.
    bool Ok() const { return font_ != nullptr; }
    const std::string& Error() const { return error_; }
    // The characters (UTF-8) shaped so far that the font has no glyph for.
    const std::string& Missing() const { return missing_; }
    cairo_scaled_font_t* Scaled() const { return font_; }

    // The glyphs of `text`, each distinct text turned into glyphs once; the
    // reference holds until the next call.
    const Glyphs& Shape(const std::string& text);
    double Width(const std::string& text) { return Shape(text).width; }

private:
    struct Glyph {
        unsigned long index;
        double advance;
    };
    // `utf8` holds the character's `n` bytes.
    const Glyph& GlyphOf(uint32_t codePoint, const char* utf8, int n);

    std::string family_;
    std::string file_;
    std::string error_;
    std::string missing_;
    cairo_scaled_font_t* font_ = nullptr;
    // Bounded: the Time cells are all distinct, and a year must not keep
    // every one of them.
    std::unordered_map<std::string, Glyphs> cache_;
    // Each character asked of cairo once: a new text is laid out from these,
    // as cairo lays out a text (one advance after another, no kerning).
    std::unordered_map<uint32_t, Glyph> chars_;
};

}  // namespace nimbary
