// Printing the match table: the page layout on a recording canvas, and whole
// print jobs from the button to a PDF file read back with poppler.

#include "program_fixture.h"
#include "recording_canvas.h"
#include "torvel_print.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMarginsF>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>
#include <functional>

using namespace torvel_test;

namespace {

TEST(RoundHalfEvenTest, RoundsToTheNearestAndHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(0.0), 0);
    EXPECT_EQ(RoundHalfEven(2.4), 2);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
    EXPECT_EQ(RoundHalfEven(7.0), 7);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-2.6), -3);
}

const TCanvasFont TitleFont{"Arial", 14, true};
const TCanvasFont HeaderFont{"Arial", 10, true};
const TCanvasFont LineFont{"Courier New", 10, false};

TPrintedRow KnownRow(int n, const QString& goals0 = "", const QString& goals1 = "") {
    return {"Jogo " + QString::number(n), "Time " + QString::number(n), "Outro", goals0, goals1};
}

// Measures chosen so that every rounding meets a half or a fraction:
//   title height 42: e = Round(50.4) = 50, rule Round(2.5) = 2, y = 50 + 25 = 75
//   text height 43:  L = Round(64.5) = 64, B = Round(140.8) = 141
//   "W" 5 wide:      score line at x = Round(2.5) = 2
// A block at y has its rule at y + Round(124.8) = y + 125, its names at
// y + Round(64.64) = y + 65 and its scores at y + 64; blocks begin at 75,
// 216, 357, ...
class PrintLayoutTest : public ::testing::Test {
protected:
    static constexpr int PageWidth = 400;
    static constexpr int FirstBlock = 75;
    static constexpr int Block = 141;

    TRecordingCanvas Print(int pageHeight, const std::vector<TPrintedRow>& rows,
                           int titleHeight = 42) {
        TRecordingCanvas canvas(PageWidth, pageHeight);
        canvas.heightOfPoints = {{14, titleHeight}, {10, 43}};
        canvas.charWidthOfPoints = {{14, 9}, {10, 5}};
        PrintRows(canvas, "Primeira Fase", rows);
        return canvas;
    }

    // The y of the header of every printed block, page by page.
    static std::vector<std::vector<int>> BlockTops(const TRecordingCanvas& canvas) {
        std::vector<std::vector<int>> tops;
        for (const auto& text : canvas.texts) {
            if (!(text.font == HeaderFont))
                continue;
            tops.resize(text.page);
            tops[text.page - 1].push_back(text.y);
        }
        return tops;
    }
};

TEST_F(PrintLayoutTest, PageHeaderAndBlockGeometry) {
    const TRecordingCanvas canvas = Print(1000, {KnownRow(1, "2", "13")});

    ASSERT_EQ(canvas.texts.size(), 4u);
    const auto& title = canvas.texts[0];
    EXPECT_EQ(title.text, "Tabela da Torvel - Primeira Fase - Página 1");
    EXPECT_EQ(std::make_pair(title.x, title.y), std::make_pair(0, 0));
    EXPECT_EQ(title.font, TitleFont);

    const auto& header = canvas.texts[1];
    EXPECT_EQ(header.text, "Jogo 1");
    EXPECT_EQ(std::make_pair(header.x, header.y), std::make_pair(0, FirstBlock));
    EXPECT_EQ(header.font, HeaderFont);

    const auto& names = canvas.texts[2];
    EXPECT_EQ(names.text, "         Time 1 ____ X ____ Outro");
    EXPECT_EQ(std::make_pair(names.x, names.y), std::make_pair(0, FirstBlock + 65));
    EXPECT_EQ(names.font, LineFont);

    const auto& score = canvas.texts[3];
    EXPECT_EQ(score.text, "                 2     13");
    EXPECT_EQ(std::make_pair(score.x, score.y), std::make_pair(2, FirstBlock + 64));
    EXPECT_EQ(score.font, LineFont);

    ASSERT_EQ(canvas.lines.size(), 2u);
    const auto& rule = canvas.lines[0];
    EXPECT_EQ(std::vector({rule.x0, rule.y0, rule.x1, rule.y1, rule.penWidth}),
              std::vector({0, 50, PageWidth, 50, 2}));
    const auto& blockRule = canvas.lines[1];
    EXPECT_EQ(
        std::vector({blockRule.x0, blockRule.y0, blockRule.x1, blockRule.y1, blockRule.penWidth}),
        std::vector({0, FirstBlock + 125, PageWidth, FirstBlock + 125, 1}));
}

TEST_F(PrintLayoutTest, NamesAndScoresPrintAsTheyAreWhateverTheyHold) {
    const TRecordingCanvas canvas =
        Print(1000, {{"Jogo", "Costa do Marfim %2", "%1 Gana", "%3", "100"}});
    ASSERT_EQ(canvas.texts.size(), 4u);
    EXPECT_EQ(canvas.texts[2].text, "Costa do Marfim %2 ____ X ____ %1 Gana")
        << "a name longer than 15 characters is not cut";
    EXPECT_EQ(canvas.texts[3].text, "                %3    100");
}

TEST_F(PrintLayoutTest, ThinRuleRoundsUpToTwoAndOthersKeepTheirWidth) {
    // Title height 5: e = Round(6.0) = 6, rule Round(0.3) = 0, drawn 2 wide.
    const TRecordingCanvas thin = Print(1000, {KnownRow(1)}, 5);
    ASSERT_FALSE(thin.lines.empty());
    EXPECT_EQ(thin.lines[0].y0, 6);
    EXPECT_EQ(thin.lines[0].penWidth, 2);
    // Title height 70: e = 84, rule Round(4.2) = 4.
    const TRecordingCanvas wide = Print(1000, {KnownRow(1)}, 70);
    ASSERT_FALSE(wide.lines.empty());
    EXPECT_EQ(wide.lines[0].penWidth, 4);
    EXPECT_EQ(wide.lines.back().penWidth, 1) << "the pen goes back to 1 after the rule";
}

TEST_F(PrintLayoutTest, BlockReachingTheBottomEdgeBreaksThePage) {
    const std::vector<TPrintedRow> rows = {KnownRow(0), KnownRow(1), KnownRow(2), KnownRow(3),
                                           KnownRow(4)};
    // The third block would end exactly on the bottom edge: y + B = height.
    const int exact = FirstBlock + 3 * Block;
    EXPECT_EQ(BlockTops(Print(exact, rows)),
              (std::vector<std::vector<int>>{{75, 216}, {75, 216}, {75}}));
    // One pixel more and it fits.
    EXPECT_EQ(BlockTops(Print(exact + 1, rows)),
              (std::vector<std::vector<int>>{{75, 216, 357}, {75, 216}}));
}

TEST_F(PrintLayoutTest, EveryPageBeginsWithItsNumberedTitleAndRule) {
    std::vector<TPrintedRow> rows;
    for (int n = 0; n < 7; ++n)
        rows.push_back(KnownRow(n));
    const TRecordingCanvas canvas = Print(FirstBlock + 3 * Block, rows);
    ASSERT_EQ(canvas.PageNumber(), 4);
    for (int page = 1; page <= 4; ++page) {
        const auto texts = canvas.TextsOnPage(page);
        ASSERT_FALSE(texts.empty()) << page;
        EXPECT_EQ(texts[0].text,
                  "Tabela da Torvel - Primeira Fase - Página " + QString::number(page));
        int rules = 0;
        for (const auto& line : canvas.lines)
            rules += line.page == page && line.y0 == 50 && line.penWidth == 2;
        EXPECT_EQ(rules, 1) << page;
    }
}

TEST_F(PrintLayoutTest, PageTooSmallForOneBlockPrintsEachBlockOnItsOwnPage) {
    const TRecordingCanvas canvas = Print(60, {KnownRow(0), KnownRow(1), KnownRow(2)});
    EXPECT_EQ(canvas.PageNumber(), 3);
    EXPECT_EQ(BlockTops(canvas), (std::vector<std::vector<int>>{{75}, {75}, {75}}));
    for (int page = 1; page <= 3; ++page)
        EXPECT_EQ(canvas.TextsOnPage(page)[1].text, "Jogo " + QString::number(page - 1));
}

TEST_F(PrintLayoutTest, UnknownTeamsPrintTheBlankNamesLineOnly) {
    const TRecordingCanvas canvas = Print(1000, {{"Semi-Final", "", "", "", ""}, KnownRow(1)});
    ASSERT_EQ(canvas.texts.size(), 6u);
    EXPECT_EQ(canvas.texts[1].text, "Semi-Final");
    EXPECT_EQ(canvas.texts[2].text, "_______________ ____ X ____ _______________");
    EXPECT_EQ(std::make_pair(canvas.texts[2].x, canvas.texts[2].y),
              std::make_pair(0, FirstBlock + 65));
    EXPECT_EQ(canvas.texts[3].text, "Jogo 1") << "no score line for the unknown match";
    EXPECT_EQ(canvas.texts[3].y, FirstBlock + Block);
    EXPECT_EQ(canvas.texts[5].text, QString(25, ' ')) << "a known match without result";
}

} // namespace

namespace {

class PrintJobTest : public ProgramTest {
protected:
    TformTorvel& Window() { return program->FormTorvel; }
    QString PdfPath() const { return QString::fromStdString(dir.Path()) + "tabela.pdf"; }

    // Clicks "Imprimir Tabela" and answers the printer dialog by choosing a
    // PDF file at path, with the paper that setUp leaves.
    void PrintTo(const QString& path, const std::function<void(QPrinter&)>& setUp = {}) {
        dialogs += PrintToPdf(Window(), path, setUp);
    }

    QStringList PrintedPages() { return PdfPages(PdfPath()); }

    int dialogs = 0;
};

// Records, each time the status window is shown, what it says and whether
// the main window was disabled by then.
struct TStatusSpy {
    explicit TStatusSpy(const TformTorvel& window)
        : onShown([this, &window] {
              shows.push_back({formStatus->lStatus->text(), window.isEnabled()});
          }) {}

    struct TShow {
        QString text;
        bool windowEnabled;
    };
    std::vector<TShow> shows;
    TOnStatusShown onShown;
};

TEST_F(PrintJobTest, GroupPhasePrintsEveryRowInOrderUnderNumberedTitles) {
    SetResult(matches, 0, 2, 1);
    Start();
    TStatusSpy status(Window());
    PrintTo(PdfPath());
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(status.shows.size(), 1u);
    EXPECT_EQ(status.shows[0].text, "Aguarde. Imprimindo...");
    EXPECT_FALSE(status.shows[0].windowEnabled);
    EXPECT_FALSE(formStatus->isVisible());
    EXPECT_TRUE(Window().isEnabled());

    const QStringList pages = PrintedPages();
    EXPECT_GE(pages.size(), 2) << "48 blocks do not fit on one page";
    const auto blocks = PrintedBlocks(pages, "Primeira Fase");
    const TformTorvel& w = Window();
    ASSERT_EQ(blocks.size(), 48u);
    for (size_t r = 0; r < blocks.size(); ++r) {
        EXPECT_EQ(blocks[r].first, w.lJogo[r]->text()) << r;
        if (MatchRows[r] != 0) { // the played match has digits over its blanks
            EXPECT_EQ(blocks[r].second, NamesLine(w.lTime0[r]->text(), w.lTime1[r]->text()))
                << "a known match without result prints empty blanks, row " << r;
        }
    }
}

TEST_F(PrintJobTest, KnockoutPhasePrintsBlankNamesForUnknownTeams) {
    SetGroupResultsInSlotOrder(matches, 47);
    Start();
    Window().cFases->setCurrentIndex(1);
    PrintTo(PdfPath());
    EXPECT_TRUE(messages.empty());

    const auto blocks = PrintedBlocks(PrintedPages(), "Eliminatórias");
    const TformTorvel& w = Window();
    ASSERT_EQ(blocks.size(), 16u);
    int unknown = 0;
    for (size_t r = 0; r < blocks.size(); ++r) {
        EXPECT_EQ(blocks[r].first, w.lJogo[r]->text()) << r;
        if (MatchRows[r] < 56) {
            EXPECT_EQ(blocks[r].second, NamesLine(w.lTime0[r]->text(), w.lTime1[r]->text()));
        } else {
            ++unknown;
            EXPECT_EQ(blocks[r].second, "_______________ ____ X ____ _______________") << r;
        }
    }
    EXPECT_EQ(unknown, 8);
}

// A word that pdftotext found on a page, in points.
struct TWord {
    int page;
    double xMin, yMin, xMax;
    QString text;
};

std::vector<TWord> Words(const QString& bbox) {
    static const QRegularExpression word(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
    std::vector<TWord> words;
    int page = 0;
    for (const auto& match : word.globalMatch(bbox)) {
        if (match.captured(0).startsWith("<page"))
            ++page;
        else
            words.push_back({page, match.captured(1).toDouble(), match.captured(2).toDouble(),
                             match.captured(3).toDouble(), match.captured(4)});
    }
    return words;
}

TEST_F(PrintJobTest, ScoresStandRightAlignedOverTheBlanks) {
    SetResult(matches, 0, 12, 3);
    SetResult(matches, 1, 1, 10);
    Start();
    PrintTo(PdfPath());
    const std::vector<TWord> words = Words(RunTool("pdftotext", {"-bbox", PdfPath(), "-"}));

    // The scores lying within each blank, blank by blank down the pages.
    std::vector<TWord> scores;
    std::vector<TWord> blanks;
    for (const TWord& blank : words) {
        if (blank.text != "____")
            continue;
        for (const TWord& score : words)
            if (score.page == blank.page && std::abs(score.yMin - blank.yMin) < 3 &&
                score.xMin >= blank.xMin && score.xMax <= blank.xMax && score.text != "____") {
                scores.push_back(score);
                blanks.push_back(blank);
            }
    }
    ASSERT_EQ(scores.size(), 4u);
    const bool match0First = RowOfMatch(0) < RowOfMatch(1);
    const QStringList expected =
        match0First ? QStringList{"12", "3", "1", "10"} : QStringList{"1", "10", "12", "3"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(scores[i].text, expected[i]);
    // One and two digits end at the same place over the same blank.
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_NEAR(scores[slot].xMax, scores[slot + 2].xMax, 0.01) << slot;
        EXPECT_NEAR(blanks[slot].xMin, blanks[slot + 2].xMin, 0.01) << slot;
    }
    EXPECT_LT(scores[0].xMax, blanks[1].xMin) << "the first score stands over the first blank";
}

TEST_F(PrintJobTest, CancelPrintsNothingAndShowsNothing) {
    Start();
    TStatusSpy status(Window());
    {
        const Dialogs::TScriptedModals cancel([&](QDialog&) {
            ++dialogs;
            return int(QDialog::Rejected);
        });
        Window().bImprimir->click();
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(status.shows.empty());
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_FALSE(QFile::exists(PdfPath()));
}

TEST_F(PrintJobTest, FailingPrinterReportsAMissingPrinterWithTheWindowBack) {
    Start();
    bool enabledAtMessage = false;
    bool statusAtMessage = true;
    const Dialogs::TScriptedMessages recorder([&](const Dialogs::TMessage& message) {
        messages.push_back(message);
        enabledAtMessage = Window().isEnabled();
        statusAtMessage = formStatus->isVisible();
        return QMessageBox::Ok;
    });
    const QString unreachable = QString::fromStdString(dir.Path()) + "missing/tabela.pdf";
    PrintTo(unreachable);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Não há nenhuma impressora instalada no Windows");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_EQ(messages[0].owner, &Window());
    EXPECT_TRUE(enabledAtMessage);
    EXPECT_FALSE(statusAtMessage);
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_FALSE(QFile::exists(unreachable));
}

TEST_F(PrintJobTest, PaperTooShortForTheTitleAndABlockTakesOneBlockPerPage) {
    Start();
    PrintTo(PdfPath(), [](QPrinter& printer) {
        printer.setPageSize(QPageSize(QSizeF(150, 22), QPageSize::Millimeter));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    });
    EXPECT_TRUE(messages.empty());
    const QStringList pages = PrintedPages();
    ASSERT_EQ(pages.size(), 48);
    const auto blocks = PrintedBlocks(pages, "Primeira Fase");
    ASSERT_EQ(blocks.size(), 48u);
    for (size_t r = 0; r < blocks.size(); ++r)
        EXPECT_EQ(blocks[r].first, Window().lJogo[r]->text()) << r;
}

TEST_F(PrintJobTest, PictureOfAPrintedPage) {
    SetResult(matches, 0, 12, 3);
    SetResult(matches, 1, 1, 0);
    Start();
    PrintTo(PdfPath());
    QDir().mkpath(TORVEL_PICTURES_DIR);
    const QString picture = QString(TORVEL_PICTURES_DIR) + "/printed_group_phase";
    RunTool("pdftoppm", {"-png", "-r", "60", "-f", "1", "-singlefile", PdfPath(), picture});
    const QImage image(picture + ".png");
    ASSERT_FALSE(image.isNull());
    // A4 at 60 dots per inch.
    EXPECT_EQ(image.size(), QSize(496, 702));
}

} // namespace
