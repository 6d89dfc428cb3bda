#pragma once
// Printing the match table of the phase on screen: one block per row, a page
// title on every page. The layout is drawn on a canvas, so that the same
// steps go to the printer and, in tests, to a recording.

#include <QString>

#include <vector>

class TformTorvel;

// Rounds to the nearest integer, halves to the even neighbour, as the
// printed measures are rounded.
int RoundHalfEven(double value);

struct TCanvasFont {
    QString name;
    int points = 10;
    bool bold = false;

    bool operator==(const TCanvasFont&) const = default;
};

// The drawing surface of a print job, in device pixels. Text is placed by the
// top left corner of its line and drawn on a transparent background.
class TPrintCanvas {
public:
    virtual ~TPrintCanvas() = default;

    virtual void SetFont(const TCanvasFont& font) = 0;
    virtual void SetPenWidth(int width) = 0;
    virtual void TextOut(int x, int y, const QString& text) = 0;
    virtual void Line(int x0, int y0, int x1, int y1) = 0;
    virtual int TextWidth(const QString& text) const = 0;
    virtual int TextHeight(const QString& text) const = 0;
    virtual void NewPage() = 0;
    // The current page, counted from 1.
    virtual int PageNumber() const = 0;
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
};

// The texts of one row of the match table.
struct TPrintedRow {
    QString header; // lJogo
    QString team0, team1;
    QString goals0, goals1;
};

// Draws the pages of the table on a canvas whose document has begun.
void PrintRows(TPrintCanvas& canvas, const QString& phase, const std::vector<TPrintedRow>& rows);

// bImprimirClick: asks for the printer and prints the table on screen. Any
// failure is reported to the user as a missing printer.
void PrintMatchTable(TformTorvel& window);
