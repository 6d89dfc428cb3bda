#include "program_fixture.h"

#include "controls.h"
#include "hand_cursor.h"
#include "torvel_empate.h"

#include <QScreen>
#include <QScrollBar>
#include <QTest>

using namespace torvel_test;

namespace {

// The sort key of a match in the document on disk.
std::string DateKey(const pugi::xml_document& matches, int m) {
    pugi::xml_node jogo = matches.document_element().first_child();
    for (int i = 0; i < m; ++i)
        jogo = jogo.next_sibling();
    return std::string(jogo.child_value("data")) + jogo.child_value("hora");
}

// The window as it is on screen: what was last painted into its backing store.
QImage OnScreen(QWidget& window) {
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The window as its controls draw it now.
QImage Rendered(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect Geometry(const QWidget* widget) {
    return widget->geometry();
}

class MainWindowTest : public ProgramTest {
protected:
    TformTorvel& Window() { return program->FormTorvel; }
    void SelectPhase(int index) { Window().cFases->setCurrentIndex(index); }
};

TEST_F(MainWindowTest, StartShowsTheGroupPhaseInDateOrderScrolledToTheTop) {
    Start();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    TformTorvel& w = Window();
    ASSERT_EQ(MatchRows.size(), 48u);
    ASSERT_EQ(w.lJogo.size(), 48u);
    for (size_t r = 1; r < MatchRows.size(); ++r)
        EXPECT_LE(DateKey(matches, MatchRows[r - 1]), DateKey(matches, MatchRows[r])) << r;
    EXPECT_TRUE(w.bGrupos->isVisibleTo(&w));
    EXPECT_TRUE(w.scrJogos->isVisibleTo(&w));
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(w.scrJogos->verticalScrollBar()->value(), 0);
    ASSERT_EQ(w.lFase.size(), 1u);
    EXPECT_EQ(w.lFase[0]->text(), "Primeira Fase");
    EXPECT_FALSE(formStatus->isVisible());
}

TEST_F(MainWindowTest, RowsShowTeamsHeaderAndStoredScore) {
    SetResult(matches, 0, 3, 1);
    Start();
    TformTorvel& w = Window();
    const int r = RowOfMatch(0);
    EXPECT_EQ(w.lTime0[r]->text(), "Time 0");
    EXPECT_EQ(w.lTime1[r]->text(), "Time 1");
    EXPECT_EQ(w.lX[r]->text(), "X");
    EXPECT_EQ(w.mGols0[r]->text(), "3");
    EXPECT_EQ(w.mGols1[r]->text(), "1");
    EXPECT_EQ(w.lJogo[r]->text(),
              QString("Grupo A - Estádio 1 - %1/%2/%3 - %4h%5min (Horário de Brasília)")
                  .arg(QString::fromStdString(DateKey(matches, 0).substr(6, 2)),
                       QString::fromStdString(DateKey(matches, 0).substr(4, 2)),
                       QString::fromStdString(DateKey(matches, 0).substr(0, 4)),
                       QString::fromStdString(DateKey(matches, 0).substr(8, 2)),
                       QString::fromStdString(DateKey(matches, 0).substr(10, 2))));
    EXPECT_EQ(Tag(w.mGols1[r]), (0 << 16) | 1);
    EXPECT_EQ(Tag(w.bEscalacao[r]), r);
    const int other = RowOfMatch(47);
    EXPECT_EQ(Tag(w.mGols0[other]), 47 << 16);
    EXPECT_EQ(Tag(w.bEscalacao[other]), (47 << 16) | other);
}

TEST_F(MainWindowTest, PhaseSelectionSwitchesRowsAndHeaders) {
    Start();
    TformTorvel& w = Window();
    SelectPhase(1);
    EXPECT_FALSE(w.bGrupos->isVisibleTo(&w));
    ASSERT_EQ(w.lJogo.size(), 16u);
    ASSERT_EQ(MatchRows.size(), 16u);
    for (int32_t m : MatchRows)
        EXPECT_GE(m, 48);
    ASSERT_EQ(w.lFase.size(), 5u);
    const char* headers[] = {"Oitavas de Final", "Quartas de Final", "Semi-Finais",
                             "Final - Terceiro e Quarto Lugares",
                             "Final - Primeiro e Segundo Lugares"};
    const int aboveRow[] = {0, 8, 12, 14, 15};
    for (int h = 0; h < 5; ++h) {
        EXPECT_EQ(w.lFase[h]->text(), headers[h]);
        EXPECT_LT(w.lFase[h]->y(), w.lJogo[aboveRow[h]]->y());
        if (aboveRow[h] > 0) {
            EXPECT_GT(w.lFase[h]->y(), w.bvJogo[aboveRow[h] - 1]->y());
        }
    }
    EXPECT_FALSE(w.lJogo[0]->text().startsWith("Grupo"));

    SelectPhase(0);
    EXPECT_TRUE(w.bGrupos->isVisibleTo(&w));
    EXPECT_EQ(w.lJogo.size(), 48u);
    EXPECT_EQ(w.lFase.size(), 1u);
    EXPECT_EQ(w.lTime0[RowOfMatch(5)]->text(), "Time 1");
}

// Loading a phase disables the window and hides the table, paints that, and
// brings everything back: the pass of the message loop that follows must leave
// no part of the window as it was painted while loading or before.
TEST_F(MainWindowTest, AfterEachPhaseChangeTheScreenShowsTheWindowAsItIsNow) {
    SetGroupResultsInSlotOrder(matches, GroupMatchCount - 1);
    SetResult(matches, 48, 2, 1);
    Start();
    TformTorvel& w = Window();
    QApplication::processEvents();
    ASSERT_TRUE(OnScreen(w) == Rendered(w)) << "at start";
    for (int phase : {1, 0, 1}) {
        SelectPhase(phase);
        QApplication::processEvents();
        EXPECT_TRUE(OnScreen(w) == Rendered(w)) << "phase " << phase;
    }
    // Leaving a table scrolled down.
    w.scrJogos->verticalScrollBar()->setValue(200);
    SelectPhase(0);
    QApplication::processEvents();
    EXPECT_TRUE(OnScreen(w) == Rendered(w)) << "after scrolling";
}

// The pass of the message loop that paints the status window delivers the
// input still pending: the disabled window must take none of it, and its
// controls look the same while it is disabled.
TEST_F(MainWindowTest, WhileAPhaseLoadsTheWindowTakesNoInputAndKeepsItsLook) {
    Start();
    TformTorvel& w = Window();
    QLineEdit* box = w.mGols0[RowOfMatch(0)];
    const QPoint centre = w.bSair->rect().center();
    const auto post = [](QWidget* receiver, QEvent* event) {
        QCoreApplication::postEvent(receiver, event);
    };
    post(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7"));
    post(box, new QKeyEvent(QEvent::KeyRelease, Qt::Key_7, Qt::NoModifier, "7"));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        post(w.bSair, new QMouseEvent(type, centre, w.bSair->mapToGlobal(centre), Qt::LeftButton,
                                      Qt::LeftButton, Qt::NoModifier));

    const std::vector<QWidget*> controls = {w.cFases, w.bConvocados, w.bRankingGeral, w.bSair};
    const auto looks = [&] {
        std::vector<QImage> images;
        for (QWidget* control : controls)
            images.push_back(control->grab().toImage());
        return images;
    };
    std::vector<QImage> whileLoading;
    bool enabledWhileLoading = true;
    {
        const TOnStatusShown loading([&] {
            enabledWhileLoading = w.isEnabled();
            whileLoading = looks();
        });
        SelectPhase(1);
    }
    EXPECT_FALSE(enabledWhileLoading);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.isVisible()) << "the click on \"Sair\" was taken";
    EXPECT_FALSE(DiskSide(0, 0).child("gols").attribute("Quant").as_int() == 7)
        << "the key pressed in the score box was taken";
    ASSERT_EQ(whileLoading.size(), controls.size());
    const std::vector<QImage> after = looks();
    for (size_t c = 0; c < controls.size(); ++c)
        EXPECT_TRUE(whileLoading[c] == after[c]) << controls[c]->objectName().toStdString();

    // Enabled again, the window takes input.
    SelectPhase(0);
    QTest::keyClick(w.mGols0[RowOfMatch(0)], Qt::Key_7);
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), 7);
}

TEST_F(MainWindowTest, KnockoutRowsWithUnknownTeamsAreEmptyAndDisabled) {
    Start();
    TformTorvel& w = Window();
    SelectPhase(1);
    for (size_t r = 0; r < w.lTime0.size(); ++r) {
        EXPECT_TRUE(w.lTime0[r]->text().isEmpty());
        EXPECT_TRUE(w.lTime1[r]->text().isEmpty());
        EXPECT_FALSE(w.mGols0[r]->isEnabled());
        EXPECT_FALSE(w.mGols1[r]->isEnabled());
        EXPECT_FALSE(w.bEscalacao[r]->isEnabled());
    }
}

TEST_F(MainWindowTest, DesignedGeometryOfTheMainWindow) {
    Start();
    TformTorvel& w = Window();
    EXPECT_EQ(Geometry(w.panelBase).size(), QSize(640, 480));
    EXPECT_EQ(Geometry(w.iFundo), QRect(0, 0, 640, 480));
    EXPECT_FALSE(w.iFundo->pixmap().isNull());
    EXPECT_EQ(w.iFundo->pixmap().size(), QSize(640, 480));
    const std::pair<QWidget*, QRect> designed[] = {{w.bConvocados, {27, 449, 136, 21}},
                                                   {w.bRankingGeral, {170, 449, 121, 21}},
                                                   {w.bRankingArtilheiros, {298, 449, 113, 21}},
                                                   {w.bWebUpdate, {418, 449, 113, 21}},
                                                   {w.bSair, {538, 449, 75, 21}},
                                                   {w.scrJogos, {27, 171, 585, 272}},
                                                   {w.cFases, {27, 123, 158, 22}},
                                                   {w.pJogosCaption, {27, 151, 585, 21}},
                                                   {w.lSelecao1, {91, 2, 52, 16}},
                                                   {w.lGols, {182, 2, 28, 16}},
                                                   {w.lSelecao2, {252, 2, 52, 16}},
                                                   {w.bGrupos, {195, 124, 136, 21}},
                                                   {w.bImprimir, {476, 124, 136, 21}}};
    for (const auto& [control, rect] : designed)
        EXPECT_EQ(Geometry(control), rect) << control->objectName().toStdString();
    EXPECT_EQ(w.bConvocados->text(), "Jogadores Convocados");
    EXPECT_EQ(w.bRankingArtilheiros->text(), "Ranking - Artilheiros");
    EXPECT_EQ(w.bWebUpdate->text(), "Atualizar Resultados");
    EXPECT_EQ(w.cFases->itemText(1), "Eliminatórias");
    EXPECT_EQ(w.lSelecao1->font().pixelSize(), 13);
    EXPECT_TRUE(w.lSelecao1->font().bold());
    EXPECT_EQ(w.font().family(), "Arial");
    EXPECT_EQ(w.font().pixelSize(), 11);
    EXPECT_EQ(w.bSair->cursor().shape(), HandCursor().shape());
    EXPECT_EQ(w.cFases->cursor().shape(), HandCursor().shape());
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_NE(w.pJogosCaption->palette().color(QPalette::Window), QColor(Qt::black));

    const QWidget* order[] = {
        w.bConvocados, w.bRankingGeral, w.bRankingArtilheiros, w.bWebUpdate, w.bSair,
        w.scrJogos,    w.cFases,        w.pJogosCaption,       w.bGrupos,    w.bImprimir};
    for (size_t i = 1; i < std::size(order); ++i) {
        const QWidget* next = order[i - 1]->nextInFocusChain();
        while (next && !std::count(std::begin(order), std::end(order), next))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i]) << order[i - 1]->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, PanelIsCentredAlsoInASmallerWindow) {
    Start();
    TformTorvel& w = Window();
    w.resize(800, 600);
    EXPECT_EQ(w.panelBase->pos(), QPoint(80, 60));
    w.resize(601, 401);
    EXPECT_EQ(w.panelBase->pos(), QPoint(-19, -39));
}

TEST_F(MainWindowTest, DesignedGeometryOfRowZero) {
    Start();
    TformTorvel& w = Window();
    const QLabel* header = w.lFase[0];
    EXPECT_EQ(header->pos(), QPoint(5, 5));
    const int jogoTop = 5 + header->height() + 6;
    EXPECT_EQ(w.lJogo[0]->pos(), QPoint(9, jogoTop));
    const int y = jogoTop + w.lJogo[0]->height() + 5;
    EXPECT_EQ(Geometry(w.mGols0[0]), QRect(151, y, 25, 21));
    EXPECT_EQ(Geometry(w.mGols1[0]), QRect(219, y, 25, 21));
    EXPECT_EQ(Geometry(w.bEscalacao[0]), QRect(380, y, 170, 21));
    EXPECT_EQ(w.bEscalacao[0]->text(), "Escalação e Artilheiros");
    EXPECT_EQ(Geometry(w.bvJogo[0]), QRect(5, jogoTop - 4, 554, y + 26 - (jogoTop - 4)));
    EXPECT_EQ(w.lTime1[0]->x(), 252);
    EXPECT_EQ(w.lTime0[0]->x() + w.lTime0[0]->width(), 143);
    EXPECT_EQ(w.lX[0]->x(), 196 - w.lX[0]->width() / 2);
    for (QLabel* name : {w.lTime0[0], w.lX[0], w.lTime1[0]})
        EXPECT_EQ(name->y(), y - 1 + (21 - name->height()) / 2);
    // The next row starts 33 pixels below.
    EXPECT_EQ(w.lJogo[1]->y(), y + 33);
    EXPECT_EQ(w.dMargin->y(), w.mGols0[47]->y() + 33 - 3);
    EXPECT_EQ(w.mGols0[0]->maxLength(), 2);

    // Row controls keep the default face; the phase headers take Arial.
    EXPECT_EQ(w.lJogo[0]->font().family(), QApplication::font().family());
    EXPECT_EQ(w.lJogo[0]->font().pointSize(), 9);
    EXPECT_EQ(w.lTime0[0]->font().pointSize(), 10);
    EXPECT_TRUE(w.lTime0[0]->font().bold());
    EXPECT_EQ(w.mGols0[0]->font().family(), QApplication::font().family());
    EXPECT_EQ(header->font().family(), "Arial");
    EXPECT_EQ(header->font().pointSize(), 12);
    EXPECT_EQ(w.bEscalacao[0]->cursor().shape(), HandCursor().shape());
}

class ScoreEntryTest : public MainWindowTest {
protected:
    QLineEdit* Box(int m, int s) {
        const int r = RowOfMatch(m);
        return s == 0 ? Window().mGols0[r] : Window().mGols1[r];
    }
};

TEST_F(ScoreEntryTest, UnplayedMatchesLoseTheirParticipantGoalsOnDisplay) {
    AddParticipant(matches, 0, 0, 9, 1);
    Start();
    EXPECT_EQ(TorvelDatabase->Jogos[0].equipes()[0].artilheiros()[0].Gols(), -1);
}

TEST_F(ScoreEntryTest, TypingStoresTheGoalsResetsParticipantsAndSaves) {
    SetResult(matches, 0, 1, 0);
    AddParticipant(matches, 0, 0, 9, 1);
    AddParticipant(matches, 0, 1, 4, 0);
    Start();
    Box(0, 0)->selectAll();
    QTest::keyClicks(Box(0, 0), "2");
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), 2);
    EXPECT_EQ(DiskSide(0, 0).child("artilheiros").child("jogador").attribute("Gols").as_int(), -1);
    EXPECT_EQ(DiskSide(0, 1).child("artilheiros").child("jogador").attribute("Gols").as_int(), 0);

    QTest::keyClick(Box(0, 0), Qt::Key_Backspace);
    EXPECT_EQ(Box(0, 0)->text(), "");
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), -1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ScoreEntryTest, LettersAreRefused) {
    Start();
    const std::string before = ReadFile(dir.Dados() / "jogos.xml");
    QTest::keyClicks(Box(0, 1), "a-x ");
    EXPECT_EQ(Box(0, 1)->text(), "");
    EXPECT_EQ(ReadFile(dir.Dados() / "jogos.xml"), before);
    QTest::keyClicks(Box(0, 1), "123");
    EXPECT_EQ(Box(0, 1)->text(), "12");
    EXPECT_EQ(DiskSide(0, 1).child("gols").attribute("Quant").as_int(), 12);
}

TEST_F(ScoreEntryTest, ChangedGroupResultVoidsTheLotDecisionsOfItsGroup) {
    teams.document_element().first_child().child("Grupo").text() = "A2";
    teams.document_element().first_child().next_sibling().child("Grupo").text() = "A1";
    for (pugi::xml_node t = teams.document_element().first_child(); t; t = t.next_sibling())
        if (std::string(t.child_value("Grupo")) == "B")
            t.child("Grupo").text() = "B3";
    Start();
    QTest::keyClicks(Box(1, 1), "1"); // match 1 belongs to group A
    for (int t = 0; t < 4; ++t)
        EXPECT_STREQ(DiskTeam(t).child_value("Grupo"), "A") << t;
    for (int t = 4; t < 8; ++t)
        EXPECT_STREQ(DiskTeam(t).child_value("Grupo"), "B3") << t;
    EXPECT_EQ(DiskSide(1, 1).child("gols").attribute("Quant").as_int(), 1);
}

TEST_F(ScoreEntryTest, RetypingTheStoredValueOnlyResetsParticipantGoals) {
    SetResult(matches, 0, 2, 0);
    AddParticipant(matches, 0, 0, 9, 2);
    teams.document_element().first_child().child("Grupo").text() = "A1";
    Start();
    QLineEdit* box = Box(0, 0);
    box->selectAll();
    QTest::keyClicks(box, "2");
    EXPECT_EQ(box->text(), "2");
    EXPECT_EQ(DiskSide(0, 0).child("artilheiros").child("jogador").attribute("Gols").as_int(), -1);
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), 2);
    EXPECT_STREQ(DiskTeam(0).child_value("Grupo"), "A1");
}

TEST_F(ScoreEntryTest, LastGroupResultQualifiesTheLastSixteen) {
    SetGroupResultsInSlotOrder(matches, 46);
    Start();
    SelectPhase(1);
    for (QLabel* name : Window().lTime0)
        EXPECT_TRUE(name->text().isEmpty());

    SelectPhase(0);
    QTest::keyClicks(Box(47, 0), "3");
    QTest::keyClicks(Box(47, 1), "2");
    SelectPhase(1);
    TformTorvel& w = Window();
    const int r48 = RowOfMatch(48); // 1A v 2B
    EXPECT_EQ(w.lTime0[r48]->text(), "Time 0");
    EXPECT_EQ(w.lTime1[r48]->text(), "Time 5");
    EXPECT_TRUE(w.mGols0[r48]->isEnabled());
    const int r55 = RowOfMatch(55); // 1H v 2G
    EXPECT_EQ(w.lTime0[r55]->text(), "Time 28");
    EXPECT_EQ(w.lTime1[r55]->text(), "Time 25");
    EXPECT_FALSE(w.mGols0[RowOfMatch(56)]->isEnabled());
}

TEST_F(ScoreEntryTest, KnockoutResultFillsTheNextRowAtOnce) {
    SetGroupResultsInSlotOrder(matches, 47);
    Start();
    SelectPhase(1);
    TformTorvel& w = Window();
    const std::vector<int32_t> rowsBefore = MatchRows;
    const int r56 = RowOfMatch(56); // winner of 48 v winner of 49
    QLabel* const name56 = w.lTime0[r56];
    EXPECT_TRUE(w.lTime0[r56]->text().isEmpty());

    QTest::keyClicks(Box(48, 0), "2");
    QTest::keyClicks(Box(48, 1), "1");
    QTest::keyClicks(Box(49, 0), "0");
    EXPECT_TRUE(w.lTime1[r56]->text().isEmpty()) << "match 49 has no result yet";
    QTest::keyClicks(Box(49, 1), "1");

    EXPECT_EQ(MatchRows, rowsBefore) << "the phase was not left";
    EXPECT_EQ(w.lTime0[r56], name56) << "the rows were refreshed in place";
    EXPECT_EQ(w.lTime0[r56]->text(), "Time 0");
    EXPECT_EQ(w.lTime1[r56]->text(), "Time 13");
    EXPECT_TRUE(w.mGols0[r56]->isEnabled());
    EXPECT_TRUE(w.bEscalacao[r56]->isEnabled());
    EXPECT_EQ(DiskSide(49, 1).child("gols").attribute("Quant").as_int(), 1);

    // Undoing the result of 48 empties the row of 56 again.
    w.mGols0[RowOfMatch(48)]->clear();
    EXPECT_TRUE(w.lTime0[r56]->text().isEmpty());
    EXPECT_FALSE(w.mGols0[r56]->isEnabled());
}

TEST_F(ScoreEntryTest, PastedTextThatIsNoNumberReachesTheErrorDisplay) {
    Start();
    const std::string before = ReadFile(dir.Dados() / "jogos.xml");
    Box(0, 0)->setText("x");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_TRUE(messages[0].text.contains("'x'"));
    EXPECT_EQ(ReadFile(dir.Dados() / "jogos.xml"), before);
}

TEST_F(MainWindowTest, GroupTieIsPutToTheUserThroughTheTieDialog) {
    for (int m = 0; m < 6; ++m)
        SetResult(matches, m, 0, 0); // group A complete and level in everything
    std::vector<int> offered;
    Dialogs::TScriptedModals modals([&](QDialog& dialog) {
        auto& tie = dynamic_cast<TformEmpate&>(dialog);
        tie.show();
        offered.push_back(static_cast<int>(tie.Items().size()));
        EXPECT_TRUE(tie.Items().front()->isChecked()) << "the first team is selected on showing";
        // Clicked on its circle: the dialog takes input while the main window
        // is disabled.
        QRadioButton* last = tie.Items().back().get();
        QTest::mouseClick(last, Qt::LeftButton, {}, QPoint(6, last->height() / 2));
        tie.hide();
        return static_cast<int>(QDialog::Accepted);
    });
    Start();
    EXPECT_EQ(offered, (std::vector<int>{4, 3, 2}));
    // Each answer puts the last team offered in the disputed place and the
    // team it displaces at the end: 3 first, then 0, then 1, then 2.
    EXPECT_STREQ(DiskTeam(3).child_value("Grupo"), "A0");
    EXPECT_STREQ(DiskTeam(0).child_value("Grupo"), "A1");
    EXPECT_STREQ(DiskTeam(1).child_value("Grupo"), "A2");
    EXPECT_STREQ(DiskTeam(2).child_value("Grupo"), "A3");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowTest, StartWithoutMatchFileEndsWithoutATable) {
    teams.reset();
    MakeTeamDocument(teams);
    dir.WriteTeams(teams);
    program = std::make_unique<TTorvelProgram>(dir.Path());
    ASSERT_TRUE(LoadFailed);
    program->FormTorvel.show();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Não é possível atualizar a base de dados via Internet.");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_TRUE(Window().TerminateRequested());
    EXPECT_TRUE(Window().lJogo.empty());
    // The message loop ends as soon as it starts.
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(MainWindowTest, LoadingAPhaseOnUnopenedDataShowsTheReasonAndAnEmptyTable) {
    dir.WriteTeams(teams);
    program = std::make_unique<TTorvelProgram>(dir.Path());
    program->FormTorvel.show();
    QApplication::exec();
    messages.clear();
    SelectPhase(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_TRUE(messages[0].text.contains("não estão abertos"));
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(LoadFailedReason)));
    EXPECT_FALSE(LoadFailedReason.empty());
    EXPECT_TRUE(Window().lJogo.empty());
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_TRUE(Window().scrJogos->isVisibleTo(&Window()));
    EXPECT_FALSE(formStatus->isVisible());
}

} // namespace
