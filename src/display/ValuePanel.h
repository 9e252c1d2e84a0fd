#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "DisplayColors.h"
#include "PanelGeometry.h"

class QPainter;

namespace nimbary {

class TextSource;

// Colours, font size and columns of a panel; the plug-in's panels differ
// from the program's in these only.
struct PanelStyle {
    QColor captionBand = colors::kCaptionBand;
    QColor labelText = colors::kPanelText;
    QColor valueText = colors::kPanelText;
    int fontHeight = 18;         // cell height in pixels
    bool narrowColumns = false;  // the plug-in's columns (UseNarrowColumns)
};

// One captioned box of label/value rows, drawn into its own surface and
// copied onto the view.
class ValuePanel {
public:
    static constexpr int kWidth = 120;
    static constexpr int kMaxValueChars = 19;

    explicit ValuePanel(const PanelStyle& style = PanelStyle());

    // Re-creates the surface for a panel at (x, y), kWidth wide.
    void Place(int x, int y, int height);

    void SetCaption(int id, TextSource& texts);
    void SetCaptionText(const std::string& text);
    // Discards all rows and creates n empty, invisible ones.
    void SetRowCount(int n);
    void SetLabel(int row, const std::string& text);
    // Keeps at most kMaxValueChars characters; marks the panel dirty only
    // when the kept text differs from the one held.
    void SetValue(int row, const std::string& text);
    void SetVisible(int row, bool visible);

    // Full: frame, caption and rows. Otherwise only when dirty, and then only
    // the rows. Returns true when the panel was drawn onto the target.
    bool Draw(QPainter& target, bool full);

    int X() const { return x_; }
    int Y() const { return y_; }
    int Width() const { return kWidth; }
    int Height() const { return height_; }
    bool Dirty() const { return dirty_; }
    int RowCount() const { return int(rows_.size()); }
    QString Caption() const { return caption_; }
    QString Label(int row) const;
    QString Value(int row) const;
    bool Visible(int row) const;
    const QImage& Surface() const { return surface_; }
    const QFont& Font() const { return font_; }
    // Where the visible rows go, in visible-row order, as Draw places them.
    PanelLayout RowLayout() const;

private:
    struct Row {
        QString label;
        QString value;
        bool visible = false;
    };

    bool ValidRow(int row) const { return row >= 0 && row < int(rows_.size()); }
    void DrawFrame(QPainter& p);
    void DrawRows(QPainter& p);

    PanelStyle style_;
    QFont font_;
    QString caption_;
    std::vector<Row> rows_;
    bool dirty_ = false;
    bool needFrame_ = true;  // a new surface or caption: the frame must be drawn
    int x_ = 0;
    int y_ = 0;
    int height_ = 0;
    QImage frame_;  // frame and caption band without the caption, made once per Place
    QImage surface_;
};

}  // namespace nimbary
