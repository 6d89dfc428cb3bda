#pragma once
// A print canvas that draws nothing: it records every text and line with the
// page, font and pen they were drawn with, and measures text by simple rules
// the test chooses.

#include "torvel_print.h"

#include <map>
#include <vector>

namespace torvel_test {

class TRecordingCanvas final : public TPrintCanvas {
public:
    static constexpr int MaxPages = 1000;

    struct TText {
        int page;
        int x, y;
        QString text;
        TCanvasFont font;
    };
    struct TLine {
        int page;
        int x0, y0, x1, y1;
        int penWidth;
    };

    TRecordingCanvas(int pageWidth, int pageHeight) : width_(pageWidth), height_(pageHeight) {}

    // Line height of each point size, and width of one character (every
    // face counts as monospaced here). A size without an entry measures 0.
    std::map<int, int> heightOfPoints;
    std::map<int, int> charWidthOfPoints;

    std::vector<TText> texts;
    std::vector<TLine> lines;

    void SetFont(const TCanvasFont& font) override { font_ = font; }
    void SetPenWidth(int width) override { penWidth_ = width; }
    void TextOut(int x, int y, const QString& text) override {
        texts.push_back({page_, x, y, text, font_});
    }
    void Line(int x0, int y0, int x1, int y1) override {
        lines.push_back({page_, x0, y0, x1, y1, penWidth_});
    }
    int TextWidth(const QString& text) const override {
        return static_cast<int>(text.size()) * Measure(charWidthOfPoints);
    }
    int TextHeight(const QString&) const override { return Measure(heightOfPoints); }
    // A print job that keeps beginning pages is a fault: it stops here
    // instead of running without end.
    void NewPage() override;
    int PageNumber() const override { return page_; }
    int PageWidth() const override { return width_; }
    int PageHeight() const override { return height_; }

    // The texts drawn on a page, in drawing order.
    std::vector<TText> TextsOnPage(int page) const;

private:
    int Measure(const std::map<int, int>& table) const;

    int width_, height_;
    int page_ = 1;
    int penWidth_ = 1;
    TCanvasFont font_;
};

} // namespace torvel_test
