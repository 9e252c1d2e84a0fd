#include "ValuePanel.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "DisplayFonts.h"
#include "PanelGeometry.h"
#include "Raster.h"
#include "TextSource.h"

namespace nimbary {

namespace {

QString Truncated(const QString& text, int maxChars) {
    if (text.size() <= maxChars) return text;
    int n = maxChars;
    // Never keep half of a surrogate pair.
    if (n > 0 && text.at(n - 1).isHighSurrogate()) --n;
    return text.left(n);
}

}  // namespace

ValuePanel::ValuePanel(const PanelStyle& style)
    : style_(style), font_(PanelFont(style.fontHeight)) {}

void ValuePanel::Place(int x, int y, int height) {
    x_ = x;
    y_ = y;
    height_ = std::max(0, height);
    surface_ = QImage();
    frame_ = QImage();
    if (height_ > 0) {
        frame_ = QImage(kWidth, height_, QImage::Format_RGB32);
        FillRoundedFrame(frame_, colors::kBackground.rgb(), colors::kBorder.rgb(),
                         colors::kPanelBody.rgb());
        {
            QPainter p(&frame_);
            p.setPen(LinePen(colors::kBorder));
            p.drawLine(1, kPanelCaptionLine, kWidth - 1, kPanelCaptionLine);
        }
        FloodFillToBorder(frame_, 5, 5, colors::kBorder.rgb(), style_.captionBand.rgb());
        surface_ = QImage(kWidth, height_, QImage::Format_RGB32);
        surface_.fill(colors::kBackground);
    }
    needFrame_ = true;
    dirty_ = true;
}

void ValuePanel::SetCaption(int id, TextSource& texts) {
    SetCaptionText(texts.Load(id));
}

void ValuePanel::SetCaptionText(const std::string& text) {
    const QString caption = QString::fromStdString(text);
    if (caption == caption_) return;
    caption_ = caption;
    needFrame_ = true;
    dirty_ = true;
}

void ValuePanel::SetRowCount(int n) {
    rows_.assign(std::max(0, n), Row());
    dirty_ = true;
}

void ValuePanel::SetLabel(int row, const std::string& text) {
    if (!ValidRow(row)) return;
    const QString label = QString::fromStdString(text);
    if (label == rows_[row].label) return;
    rows_[row].label = label;
    if (rows_[row].visible) dirty_ = true;
}

void ValuePanel::SetValue(int row, const std::string& text) {
    if (!ValidRow(row)) return;
    const QString value = Truncated(QString::fromStdString(text), kMaxValueChars);
    if (value == rows_[row].value) return;
    rows_[row].value = value;
    dirty_ = true;
}

void ValuePanel::SetVisible(int row, bool visible) {
    if (!ValidRow(row) || rows_[row].visible == visible) return;
    rows_[row].visible = visible;
    dirty_ = true;
}

QString ValuePanel::Label(int row) const {
    return ValidRow(row) ? rows_[row].label : QString();
}
QString ValuePanel::Value(int row) const {
    return ValidRow(row) ? rows_[row].value : QString();
}
bool ValuePanel::Visible(int row) const {
    return ValidRow(row) && rows_[row].visible;
}

bool ValuePanel::Draw(QPainter& target, bool full) {
    if (surface_.isNull()) return false;
    // A fresh surface holds no frame yet, so it is drawn in full whatever
    // was asked.
    full = full || needFrame_;
    if (!full && !dirty_) return false;
    dirty_ = false;
    {
        QPainter p(&surface_);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setFont(font_);
        if (full) DrawFrame(p);
        DrawRows(p);
    }
    target.drawImage(x_, y_, surface_);
    return true;
}

void ValuePanel::DrawFrame(QPainter& p) {
    std::memcpy(surface_.bits(), frame_.constBits(), size_t(frame_.sizeInBytes()));
    p.setPen(style_.labelText);
    p.drawText(QRect(0, 0, kWidth, kPanelCaptionLine), Qt::AlignCenter | Qt::TextSingleLine,
               caption_);
    needFrame_ = false;
}

PanelLayout ValuePanel::RowLayout() const {
    // Every text measures the font's cell height, whichever face draws its
    // glyphs, so Chinese and English rows lay out alike.
    const QFontMetrics fm(font_);
    const int cell = fm.height();
    std::vector<PanelRowSize> sizes;
    for (const Row& r : rows_)
        if (r.visible)
            sizes.push_back(
                {fm.horizontalAdvance(r.label), cell, fm.horizontalAdvance(r.value), cell});
    PanelLayout layout = LayoutPanelRows(kWidth, height_, sizes);
    if (style_.narrowColumns) UseNarrowColumns(layout, kWidth, sizes);
    return layout;
}

void ValuePanel::DrawRows(QPainter& p) {
    std::vector<const Row*> shown;
    for (const Row& r : rows_)
        if (r.visible) shown.push_back(&r);

    p.fillRect(Box{1, kPanelBodyTop, kWidth - 1, height_ - kPanelBottomMargin}.ToQRect(),
               colors::kPanelBody);
    const PanelLayout layout = RowLayout();
    for (size_t i = 0; i < shown.size(); ++i) {
        const PanelRowPlace& place = layout.rows[i];
        if (layout.twoLine) p.fillRect(place.band.ToQRect(), colors::kLabelBand);
        p.setPen(style_.labelText);
        p.drawText(place.label.ToQRect(), place.labelAlign | Qt::TextSingleLine, shown[i]->label);
        p.setPen(style_.valueText);
        p.drawText(place.value.ToQRect(), place.valueAlign | Qt::TextSingleLine, shown[i]->value);
    }
}

}  // namespace nimbary
