#include "data_update.h"
#include "test_server.h"
#include "torvel_database.h"
#include "tournament_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace torvel_test;

TEST(CabinetNames, OnlyNamesInsideTheFolderAreAccepted) {
    EXPECT_EQ(SafeRelativeName("jogos.xml"), "jogos.xml");
    EXPECT_EQ(SafeRelativeName("band\\brasil.jpg"), "band/brasil.jpg");
    EXPECT_EQ(SafeRelativeName("./a/./b.xml"), "./a/./b.xml");
    EXPECT_EQ(SafeRelativeName("..\\selecoes.xml"), "");
    EXPECT_EQ(SafeRelativeName("band/../../x"), "");
    EXPECT_EQ(SafeRelativeName("\\etc\\passwd"), "");
    EXPECT_EQ(SafeRelativeName("/etc/passwd"), "");
    EXPECT_EQ(SafeRelativeName("C:\\x.xml"), "");
    EXPECT_EQ(SafeRelativeName("band/"), "");
    EXPECT_EQ(SafeRelativeName(""), "");
}

class WebUpdate : public ::testing::Test {
protected:
    TempProgramDir program;
    TempProgramDir server; // its dados/ stands for the server's document root
    fs::path published = server.Dados() / "torvel";
    std::string oldTeams, oldMatches;

    void SetUp() override {
        program.WriteValidTournament();
        oldTeams = ReadFile(program.Dados() / "selecoes.xml");
        oldMatches = ReadFile(program.Dados() / "jogos.xml");
        fs::create_directories(published);
    }

    // Builds torvel.cab on the server from files given as name and text.
    void Publish(const std::vector<std::pair<std::string, std::string>>& files) {
        const fs::path source = server.Dados() / "fonte";
        fs::create_directories(source);
        std::string command =
            "cd '" + source.string() + "' && gcab -c '" + (published / "torvel.cab").string() + "'";
        for (const auto& [name, text] : files) {
            fs::create_directories((source / name).parent_path());
            WriteFile(source / name, text);
            command += " '" + name + "'";
        }
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    void PublishNewTournament() {
        pugi::xml_document teams, matches;
        MakeTeamDocument(teams);
        MakeMatchDocument(matches);
        teams.document_element().first_child().child("Nome").text() = "Seleção Nova";
        Publish({{"selecoes.xml", ToText(teams)}, {"jogos.xml", ToText(matches)}});
    }

    void ExpectOldFilesUnchanged() {
        EXPECT_EQ(ReadFile(program.Dados() / "selecoes.xml"), oldTeams);
        EXPECT_EQ(ReadFile(program.Dados() / "jogos.xml"), oldMatches);
        for (const fs::directory_entry& entry : fs::directory_iterator(program.Dados()))
            EXPECT_EQ(entry.path().filename().string().rfind(".atualizacao", 0), std::string::npos)
                << "staging left behind: " << entry.path();
    }
};

TEST_F(WebUpdate, GoodArchiveReplacesBothFilesAndReloads) {
    PublishNewTournament();
    TestServer http("serve", server.Dados().string());
    TTorvelDatabase database(program.Path());
    TDataUpdate update(program.Path());
    update.Download(TWebClient(), http.Url());
    EXPECT_TRUE(fs::exists(update.ArchivePath()));
    update.Install(database);

    EXPECT_FALSE(fs::exists(update.ArchivePath()));
    EXPECT_EQ(ReadFile(program.Dados() / "selecoes.xml"),
              ReadFile(server.Dados() / "fonte" / "selecoes.xml"));
    EXPECT_EQ(ReadFile(program.Dados() / "jogos.xml"),
              ReadFile(server.Dados() / "fonte" / "jogos.xml"));
    EXPECT_EQ(database.Selecoes[0].Nome(), "Seleção Nova");
    EXPECT_EQ(database.Jogos.Count(), 64);
    EXPECT_EQ(std::distance(fs::directory_iterator(program.Dados()), {}), 2);
}

TEST_F(WebUpdate, ServerErrorsAndNoConnectionKeepTheOldFiles) {
    TWebClient client;
    client.StallTimeout = std::chrono::seconds(1);
    TDataUpdate update(program.Path());
    for (const char* mode : {"404", "500"}) {
        TestServer http(mode, server.Dados().string());
        EXPECT_THROW(update.Download(client, http.Url()), EUpdateTransferError) << mode;
    }
    EXPECT_THROW(update.Download(client, RefusingUrl()), EUpdateTransferError);

    TestServer stalling("stall", server.Dados().string());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(update.Download(client, stalling.Url()), EUpdateTransferError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ExpectOldFilesUnchanged();
}

TEST_F(WebUpdate, OversizedDownloadIsAnError) {
    PublishNewTournament();
    TestServer http("serve", server.Dados().string());
    TWebClient client;
    client.MaxBodySize = 1000;
    EXPECT_THROW(TDataUpdate(program.Path()).Download(client, http.Url()), EUpdateTransferError);
    ExpectOldFilesUnchanged();
}

TEST_F(WebUpdate, InvalidDocumentsKeepTheOldFilesForTheNextStart) {
    pugi::xml_document teams, matches;
    MakeTeamDocument(teams);
    MakeMatchDocument(matches);
    teams.document_element().remove_child(teams.document_element().last_child());
    const std::vector<std::vector<std::pair<std::string, std::string>>> archives = {
        {{"selecoes.xml", "<Selecoes><Selecao>"}, {"jogos.xml", ToText(matches)}},
        {{"selecoes.xml", ToText(teams)}, {"jogos.xml", ToText(matches)}},
        {{"jogos.xml", ToText(matches)}},
    };
    for (const auto& archive : archives) {
        Publish(archive);
        TestServer http("serve", server.Dados().string());
        TTorvelDatabase database(program.Path());
        TDataUpdate update(program.Path());
        update.Download(TWebClient(), http.Url());
        EXPECT_THROW(update.Install(database), EUpdateDataError);
        ExpectOldFilesUnchanged();
        fs::remove_all(server.Dados() / "fonte");
    }
    TTorvelDatabase nextStart(program.Path());
    EXPECT_FALSE(LoadFailed) << LoadFailedReason;
}

TEST_F(WebUpdate, ArchivesThatAreUnreadableOrLeaveTheFolderAreRefused) {
    TTorvelDatabase database(program.Path());
    TDataUpdate update(program.Path());

    WriteFile(update.ArchivePath(), "MSCF but not really a cabinet");
    EXPECT_THROW(update.Install(database), EUpdateTransferError);
    ExpectOldFilesUnchanged();

    // gcab stores "zz\evil.xml"; the name is patched to "..\evil.xml" and,
    // in a second archive, to "\zevil.xml".
    Publish({{"jogos.xml", oldMatches}, {"zz/evil.xml", "<x/>"}});
    const std::string cab = ReadFile(published / "torvel.cab");
    const size_t at = cab.find("zz\\evil.xml");
    ASSERT_NE(at, std::string::npos);
    for (const std::string replacement : {"..", "\\z"}) {
        std::string patched = cab;
        patched.replace(at, 2, replacement);
        WriteFile(update.ArchivePath(), patched);
        EXPECT_THROW(update.Install(database), EUpdateTransferError) << replacement;
        ExpectOldFilesUnchanged();
        EXPECT_FALSE(fs::exists(program.Dados().parent_path() / "evil.xml"));
        EXPECT_FALSE(fs::exists("/zevil.xml"));
        EXPECT_FALSE(fs::exists(program.Dados() / "zz"));
    }
}
