#include "program_fixture.h"
#include "test_server.h"

#include <QPushButton>
#include <QTest>

#include <chrono>

using namespace torvel_test;
namespace fs = std::filesystem;

namespace {

// The program with an HTTP client and an update server on 127.0.0.1 whose
// document root is server's dados/.
class WebUpdateTest : public ProgramTest {
protected:
    TempProgramDir server;
    std::unique_ptr<TestServer> http;
    std::string oldTeams, oldMatches;

    WebUpdateTest() {
        CreateWebClient = [] {
            auto client = std::make_unique<TWebClient>();
            client->StallTimeout = std::chrono::seconds(1);
            return client;
        };
    }

    void Serve(const char* mode) {
        http = std::make_unique<TestServer>(mode, server.Dados().string());
        UpdateServer = http->Url();
    }

    // Publishes the fixture tournament as changed by change.
    void Publish(const std::function<void(pugi::xml_document&, pugi::xml_document&)>& change) {
        pugi::xml_document newTeams, newMatches;
        MakeTeamDocument(newTeams);
        MakeMatchDocument(newMatches);
        change(newTeams, newMatches);
        BuildArchive(server.Dados() / "torvel" / "torvel.cab", server.Dados() / "fonte",
                     {{"selecoes.xml", ToText(newTeams)}, {"jogos.xml", ToText(newMatches)}});
    }

    void StartAndKeepFiles() {
        Start();
        oldTeams = ReadFile(dir.Dados() / "selecoes.xml");
        oldMatches = ReadFile(dir.Dados() / "jogos.xml");
        messages.clear();
    }

    void ExpectOldFiles() {
        EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"), oldTeams);
        EXPECT_EQ(ReadFile(dir.Dados() / "jogos.xml"), oldMatches);
    }

    TformTorvel& Window() { return program->FormTorvel; }
};

TEST_F(WebUpdateTest, GoodArchiveReplacesTheFilesAndRebuildsTheSelectedPhase) {
    Publish([](pugi::xml_document& t, pugi::xml_document& m) {
        t.document_element().first_child().child("Nome").text() = "Seleção Nova";
        pugi::xml_node match48 = m.document_element().first_child();
        for (int i = 0; i < 48; ++i)
            match48 = match48.next_sibling();
        match48.child("estadio").text() = "Arena Nova";
    });
    Serve("serve");
    StartAndKeepFiles();
    ASSERT_TRUE(Window().bWebUpdate->isEnabled());
    Window().cFases->setCurrentIndex(1);
    Window().bWebUpdate->click();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Atualização concluída");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Information);
    EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"),
              ReadFile(server.Dados() / "fonte" / "selecoes.xml"));
    EXPECT_EQ(ReadFile(dir.Dados() / "jogos.xml"),
              ReadFile(server.Dados() / "fonte" / "jogos.xml"));
    EXPECT_FALSE(fs::exists(dir.Dados() / "torvel.cab"));
    EXPECT_EQ(TorvelDatabase->Selecoes[0].Nome(), "Seleção Nova");
    ASSERT_EQ(Window().lJogo.size(), 16u);
    EXPECT_TRUE(Window().lJogo[RowOfMatch(48)]->text().startsWith("Arena Nova"));
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_FALSE(formStatus->isVisible());
}

TEST_F(WebUpdateTest, ServerErrorsAndNoConnectionKeepTheOldFiles) {
    Publish([](pugi::xml_document&, pugi::xml_document&) {});
    StartAndKeepFiles();
    for (const char* mode : {"404", "500", "refused", "stall"}) {
        if (std::string(mode) == "refused") {
            http.reset();
            UpdateServer = RefusingUrl();
        } else {
            Serve(mode);
        }
        messages.clear();
        const auto start = std::chrono::steady_clock::now();
        Window().bWebUpdate->click();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << mode;
        ASSERT_EQ(messages.size(), 1u) << mode;
        EXPECT_EQ(messages[0].text, "Erro na atualização. Verifique sua conexão com a Internet");
        EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
        EXPECT_TRUE(Window().isEnabled()) << mode;
        EXPECT_FALSE(formStatus->isVisible()) << mode;
        ExpectOldFiles();
        EXPECT_EQ(Window().lJogo.size(), 48u) << "the table stays";
    }
}

// An archive with both documents and a plain file "band" where the flags'
// folder is: nothing is replaced, the documents in memory stay, and the next
// score typed saves the old documents with that score, also after a restart.
TEST_F(WebUpdateTest, AnEntryThatCannotBeMovedKeepsFilesAndMemoryAndLaterSavesAreSafe) {
    CopyShippedFlag(dir, "alemanha.jpg");
    pugi::xml_document newTeams, newMatches;
    MakeTeamDocument(newTeams);
    MakeMatchDocument(newMatches);
    newTeams.document_element().first_child().child("Nome").text() = "Seleção Nova";
    SetResult(newMatches, 0, 7, 7);
    BuildArchive(server.Dados() / "torvel" / "torvel.cab", server.Dados() / "fonte",
                 {{"selecoes.xml", ToText(newTeams)},
                  {"jogos.xml", ToText(newMatches)},
                  {"band", "a plain file"}});
    Serve("serve");
    StartAndKeepFiles();
    const std::string flag = ReadFile(dir.Dados() / "band" / "alemanha.jpg");
    const std::string oldName = TorvelDatabase->Selecoes[0].Nome();

    Window().bWebUpdate->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Erro na atualização. Verifique sua conexão com a Internet");
    EXPECT_FALSE(Window().TerminateRequested());
    ExpectOldFiles();
    EXPECT_EQ(ReadFile(dir.Dados() / "band" / "alemanha.jpg"), flag);
    EXPECT_EQ(TorvelDatabase->Selecoes[0].Nome(), oldName);
    EXPECT_EQ(TorvelDatabase->Jogos[0].equipes()[0].gols().Quant(), -1);
    EXPECT_EQ(Window().lJogo.size(), 48u);

    // A score typed afterwards saves the old documents with that score.
    QLineEdit* box = Window().mGols0[RowOfMatch(1)];
    box->setFocus();
    QTest::keyClicks(box, "2");
    EXPECT_EQ(ReadFile(dir.Dados() / "selecoes.xml"), oldTeams);
    EXPECT_EQ(DiskSide(1, 0).child("gols").attribute("Quant").as_int(), 2);
    EXPECT_EQ(DiskSide(0, 0).child("gols").attribute("Quant").as_int(), -1);
    EXPECT_EQ(DiskSide(0, 1).child("gols").attribute("Quant").as_int(), -1);

    // And so it is after a restart.
    program.reset();
    program = std::make_unique<TTorvelProgram>(dir.Path());
    ASSERT_FALSE(LoadFailed) << LoadFailedReason;
    EXPECT_EQ(TorvelDatabase->Selecoes[0].Nome(), oldName);
    EXPECT_EQ(TorvelDatabase->Jogos[1].equipes()[0].gols().Quant(), 2);
    EXPECT_EQ(TorvelDatabase->Jogos[0].equipes()[0].gols().Quant(), -1);
    EXPECT_EQ(ReadFile(dir.Dados() / "band" / "alemanha.jpg"), flag);
}

TEST_F(WebUpdateTest, InvalidDocumentsEndTheProgramAndKeepThePreviousFiles) {
    Publish([](pugi::xml_document& t, pugi::xml_document&) {
        t.document_element().remove_child(t.document_element().last_child());
    });
    Serve("serve");
    StartAndKeepFiles();
    Window().bWebUpdate->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Erro ao processar arquivos de dados");
    EXPECT_EQ(messages[0].kind, Dialogs::TMessageKind::Stop);
    EXPECT_TRUE(Window().TerminateRequested());
    EXPECT_EQ(QApplication::exec(), 0) << "the message loop ends at once";
    ExpectOldFiles();

    program.reset();
    TTorvelDatabase nextStart(dir.Path());
    EXPECT_FALSE(LoadFailed) << LoadFailedReason;
}

TEST_F(WebUpdateTest, StartWithoutDataFilesInstallsTheUpdateAndShowsTheGroupPhase) {
    Publish([](pugi::xml_document&, pugi::xml_document&) {});
    Serve("serve");
    program = std::make_unique<TTorvelProgram>(dir.Path());
    ASSERT_TRUE(LoadFailed);
    Window().show();
    EXPECT_TRUE(messages.empty()) << messages.front().text.toStdString();
    EXPECT_FALSE(LoadFailed);
    EXPECT_FALSE(Window().TerminateRequested());
    EXPECT_EQ(Window().cFases->currentIndex(), 0);
    EXPECT_EQ(Window().lJogo.size(), 48u);
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_TRUE(fs::exists(dir.Dados() / "jogos.xml"));
}

TEST_F(WebUpdateTest, StartWithoutDataFilesAndNoServerShowsWhyThereIsNoTable) {
    UpdateServer = RefusingUrl();
    program = std::make_unique<TTorvelProgram>(dir.Path());
    Window().show();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Erro na atualização. Verifique sua conexão com a Internet");
    EXPECT_TRUE(messages[1].text.contains("não estão abertos"));
    EXPECT_FALSE(Window().TerminateRequested());
    EXPECT_TRUE(Window().lJogo.empty());
    EXPECT_TRUE(Window().isEnabled());
}

} // namespace
