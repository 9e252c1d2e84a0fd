#include "PdfFont.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <QString>

#include <algorithm>
#include <memory>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "Utf8.h"

namespace nimbary {

namespace {

constexpr size_t kCachedTexts = 8192;

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternFree>;

// fontconfig keeps what it parsed of its configuration behind offsets the
// leak checker cannot follow (FcFini frees it all); loaded once, unwatched.
void LoadFontconfig() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler unwatched;
#endif
    static const bool loaded = FcInit();
    (void)loaded;
}

struct FontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// What to ask fontconfig for: the family (and language), as Qt's font
// database asks for it.
Pattern Want(const char* family, const char* lang) {
    LoadFontconfig();
    Pattern want(FcPatternCreate());
    FcPatternAddString(want.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    if (lang) {
        FcLangSet* langs = FcLangSetCreate();
        FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>(lang));
        FcPatternAddLangSet(want.get(), FC_LANG, langs);
        FcLangSetDestroy(langs);
    }
    FcConfigSubstitute(nullptr, want.get(), FcMatchPattern);
    FcDefaultSubstitute(want.get());
    return want;
}

bool HasAll(const FcPattern* font, const std::vector<uint32_t>& chars) {
    FcCharSet* set = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &set) != FcResultMatch) return false;
    for (uint32_t c : chars)
        if (!FcCharSetHasChar(set, c)) return false;
    return true;
}

// The first font in fontconfig's order for `want` that has every one of
// `chars`, ready to load; none when no installed font has them all, and
// then `lacking` holds the characters no font has (or, when each is in
// some font, those the first one lacks).
Pattern FirstWithAll(FcPattern* want, const std::vector<uint32_t>& chars, std::string& lacking) {
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetFree> fonts(
        FcFontSort(nullptr, want, FcFalse, nullptr, &result));
    const int n = fonts ? fonts->nfont : 0;
    for (int i = 0; i < n; ++i)
        if (HasAll(fonts->fonts[i], chars))
            return Pattern(FcFontRenderPrepare(nullptr, want, fonts->fonts[i]));
    // A dozen of them say enough.
    std::u32string missing;
    for (uint32_t c : chars) {
        bool anywhere = false;
        for (int i = 0; i < n && !anywhere; ++i) anywhere = HasAll(fonts->fonts[i], {c});
        if (!anywhere) missing += static_cast<char32_t>(c);
    }
    if (missing.empty() && n > 0)
        for (uint32_t c : chars)
            if (!HasAll(fonts->fonts[0], {c})) missing += static_cast<char32_t>(c);
    constexpr size_t kShown = 12;
    lacking =
        QString::fromUcs4(missing.data(), static_cast<qsizetype>(std::min(missing.size(), kShown)))
            .toStdString();
    if (missing.size() > kShown) lacking += "…";
    return nullptr;
}

// Every character of `texts` once, in order of appearance.
std::vector<uint32_t> CharsOf(const std::vector<std::string>& texts) {
    std::vector<uint32_t> chars;
    for (const std::string& t : texts)
        for (size_t i = 0; i < t.size();) {
            const uint32_t c = NextCodePoint(t, i);
            if (std::find(chars.begin(), chars.end(), c) == chars.end()) chars.push_back(c);
        }
    return chars;
}

}  // namespace

PdfFont::PdfFont(text::Language language, const std::vector<std::string>& texts) {
    const bool chinese = language == text::Language::Chinese;
    family_ = chinese ? "黑体" : "Arial";
    const std::vector<uint32_t> chars = CharsOf(texts);
    Pattern want = Want(family_.c_str(), chinese ? "zh-cn" : nullptr);
    // A family fontconfig does not know comes first with a font of no
    // Chinese glyphs: the texts' own characters decide.
    std::string lacking;
    Pattern match = FirstWithAll(want.get(), chars, lacking);
    FcChar8* file = nullptr;
    int index = 0;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        error_ = "No installed font has the characters \"" + lacking +
                 "\" of the table: install a font that has them" +
                 (chinese ? ", such as the Chinese font of the package fonts-wqy-zenhei." : ".");
        return;
    }
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    file_ = reinterpret_cast<const char*>(file);

    // The file alone, unhinted: a PDF's widths are the font's own, not
    // rounded to a screen's pixels.
    Pattern load(FcPatternCreate());
    FcPatternAddString(load.get(), FC_FILE, file);
    FcPatternAddInteger(load.get(), FC_INDEX, index);
    FcPatternAddBool(load.get(), FC_HINTING, FcFalse);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(load.get());
    cairo_matrix_t size, ctm;
    cairo_matrix_init_scale(&size, kSize, kSize);
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &size, &ctm, options);
    cairo_font_options_destroy(options);
    cairo_font_face_destroy(face);
    if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        error_ = file_ + ": " + cairo_status_to_string(cairo_scaled_font_status(scaled));
        cairo_scaled_font_destroy(scaled);
        return;
    }
    font_ = scaled;
}

PdfFont::~PdfFont() {
    if (font_) cairo_scaled_font_destroy(font_);
}

const PdfFont::Glyph& PdfFont::GlyphOf(uint32_t codePoint, const char* utf8, int n) {
    auto found = chars_.find(codePoint);
    if (found != chars_.end()) return found->second;
    Glyph& glyph = chars_[codePoint];
    glyph = {0, 0.0};  // a character cairo cannot map draws as the missing glyph
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    if (cairo_scaled_font_text_to_glyphs(font_, 0, 0, utf8, n, &glyphs, &count, nullptr, nullptr,
                                         nullptr) == CAIRO_STATUS_SUCCESS &&
        count == 1) {
        cairo_text_extents_t extents;
        cairo_scaled_font_glyph_extents(font_, glyphs, 1, &extents);
        glyph = {glyphs[0].index, extents.x_advance};
    }
    cairo_glyph_free(glyphs);
    if (glyph.index == 0) missing_.append(utf8, static_cast<size_t>(n));
    return glyph;
}

const PdfFont::Glyphs& PdfFont::Shape(const std::string& text) {
    auto found = cache_.find(text);
    if (found != cache_.end()) return found->second;
    if (cache_.size() >= kCachedTexts) cache_.clear();
    Glyphs& shaped = cache_[text];
    if (!font_) return shaped;
    shaped.glyphs.reserve(text.size());
    double x = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const uint32_t codePoint = NextCodePoint(text, i);
        const Glyph& g = GlyphOf(codePoint, text.data() + start, static_cast<int>(i - start));
        shaped.glyphs.push_back({g.index, x, 0.0});
        x += g.advance;
    }
    shaped.width = x;
    return shaped;
}

}  // namespace nimbary
