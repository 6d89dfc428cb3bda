#include "torvel_print.h"

#include "design_font.h"
#include "dialogs.h"
#include "torvel_main.h"
#include "torvel_status.h"
#include "window_enabling.h"

#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <cmath>
#include <stdexcept>

namespace {

const QString NoPrinterMessage = QStringLiteral("Não há nenhuma impressora instalada no Windows");
const QString BlankNamesLine = QStringLiteral("_______________ ____ X ____ _______________");
// The tallest letters of the language, for the line measures.
const QString TallText = QStringLiteral("ÁÇ");

const TCanvasFont TitleFont{"Arial", 14, true};
const TCanvasFont TextFont{"Arial", 10, false};
const TCanvasFont HeaderFont{"Arial", 10, true};
const TCanvasFont LineFont{"Courier New", 10, false};

// The printer's own canvas: a painter on the print job for as long as the
// object lives.
class TPrinterCanvas final : public TPrintCanvas {
public:
    explicit TPrinterCanvas(QPrinter& printer) : printer_(printer) {
        if (!painter_.begin(&printer_))
            throw std::runtime_error("Não foi possível iniciar a impressão.");
    }
    // Ends a document that EndDoc did not end, after a failure.
    ~TPrinterCanvas() override {
        if (painter_.isActive())
            painter_.end();
    }
    TPrinterCanvas(const TPrinterCanvas&) = delete;
    TPrinterCanvas& operator=(const TPrinterCanvas&) = delete;

    void EndDoc() {
        if (!painter_.end())
            throw std::runtime_error("Não foi possível concluir a impressão.");
    }

    void SetFont(const TCanvasFont& font) override {
        painter_.setFont(DesignPointFont(font.name, font.points, font.bold));
    }
    void SetPenWidth(int width) override { painter_.setPen(QPen(Qt::black, width)); }
    void TextOut(int x, int y, const QString& text) override {
        painter_.drawText(x, y + painter_.fontMetrics().ascent(), text);
    }
    void Line(int x0, int y0, int x1, int y1) override { painter_.drawLine(x0, y0, x1, y1); }
    int TextWidth(const QString& text) const override {
        return painter_.fontMetrics().horizontalAdvance(text);
    }
    int TextHeight(const QString&) const override { return painter_.fontMetrics().height(); }
    void NewPage() override {
        if (!printer_.newPage())
            throw std::runtime_error("Não foi possível iniciar uma nova página.");
        ++page_;
    }
    int PageNumber() const override { return page_; }
    int PageWidth() const override { return printer_.width(); }
    int PageHeight() const override { return printer_.height(); }

private:
    QPrinter& printer_;
    QPainter painter_;
    int page_ = 1;
};

// The measures of the current page: line height L and block height B.
struct TPageMeasures {
    int lineHeight = 0;
    int blockHeight = 0;
};

// Draws the page title and its rule; returns the measures of the page and
// leaves y below the rule.
TPageMeasures PrintPageHeader(TPrintCanvas& canvas, const QString& phase, int& y) {
    canvas.SetFont(TitleFont);
    canvas.TextOut(
        0, 0, "Tabela da Torvel - " + phase + " - Página " + QString::number(canvas.PageNumber()));
    const int e = RoundHalfEven(1.2 * canvas.TextHeight(TallText));
    y = e;
    const int ruleWidth = RoundHalfEven(0.05 * e);
    canvas.SetPenWidth(ruleWidth == 0 ? 2 : ruleWidth);
    canvas.Line(0, y, canvas.PageWidth(), y);
    canvas.SetPenWidth(1);
    y += e / 2;

    canvas.SetFont(TextFont);
    TPageMeasures measures;
    measures.lineHeight = RoundHalfEven(1.5 * canvas.TextHeight(TallText));
    measures.blockHeight = RoundHalfEven(2.2 * measures.lineHeight);
    return measures;
}

void PrintBlock(TPrintCanvas& canvas, const TPrintedRow& row, int y, int lineHeight) {
    canvas.SetFont(HeaderFont);
    canvas.TextOut(0, y, row.header);

    canvas.SetFont(LineFont);
    const int ruleY = y + RoundHalfEven(1.95 * lineHeight);
    canvas.Line(0, ruleY, canvas.PageWidth(), ruleY);
    const int namesY = y + RoundHalfEven(1.01 * lineHeight);
    if (row.team0.isEmpty()) {
        canvas.TextOut(0, namesY, BlankNamesLine);
        return;
    }
    // "%15s ____ X ____ %s" and, over the blanks, "%14s %3s    %3s".
    canvas.TextOut(0, namesY,
                   QString("%1 ____ X ____ %2").arg(row.team0.rightJustified(15), row.team1));
    canvas.TextOut(
        RoundHalfEven(0.5 * canvas.TextWidth("W")), y + lineHeight,
        QString("%1 %2    %3")
            .arg(QString(14, ' '), row.goals0.rightJustified(3), row.goals1.rightJustified(3)));
}

std::vector<TPrintedRow> RowsOnScreen(const TformTorvel& window) {
    std::vector<TPrintedRow> rows;
    for (size_t r = 0; r < window.lJogo.size(); ++r)
        rows.push_back({window.lJogo[r]->text(), window.lTime0[r]->text(), window.lTime1[r]->text(),
                        window.mGols0[r]->text(), window.mGols1[r]->text()});
    return rows;
}

// Prints the rows on the printer the user chose.
void PrintOnPrinter(TformTorvel& window, QPrinter& printer) {
    SetWindowEnabled(window, false);
    formStatus->lStatus->setText("Aguarde. Imprimindo...");
    formStatus->show();
    // The window comes back however the printing ends.
    struct TRestore {
        TformTorvel& window;
        ~TRestore() {
            SetWindowEnabled(window, true);
            formStatus->close();
        }
    } restore{window};
    QApplication::processEvents();

    printer.setDocName(QApplication::applicationName());
    TPrinterCanvas canvas(printer);
    PrintRows(canvas, window.cFases->currentText(), RowsOnScreen(window));
    canvas.EndDoc();
}

} // namespace

int RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    const bool up = fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0);
    return static_cast<int>(below) + (up ? 1 : 0);
}

void PrintRows(TPrintCanvas& canvas, const QString& phase, const std::vector<TPrintedRow>& rows) {
    int y = 0;
    TPageMeasures measures;
    bool pageHasBlock = false;
    for (size_t row = 0; row < rows.size();) {
        if (y == 0) {
            measures = PrintPageHeader(canvas, phase, y);
            pageHasBlock = false;
        }
        // A block that does not fit goes to the next page, unless the page
        // holds no block yet: then no page would take it, and it is printed
        // here anyway.
        if (canvas.PageHeight() <= y + measures.blockHeight && pageHasBlock) {
            y = 0;
            canvas.NewPage();
            continue;
        }
        PrintBlock(canvas, rows[row], y, measures.lineHeight);
        pageHasBlock = true;
        y += measures.blockHeight;
        ++row;
    }
}

void PrintMatchTable(TformTorvel& window) {
    try {
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog printDialog(&printer, &window);
        if (Dialogs::ShowModal(printDialog) != QDialog::Accepted)
            return;
        PrintOnPrinter(window, printer);
    } catch (...) {
        // The user learns only that printing failed; the window is back.
        Dialogs::Message(&window, NoPrinterMessage, Dialogs::TMessageKind::Stop);
    }
}
