#include "data_update.h"
#include "test_server.h"
#include "torvel_database.h"
#include "tournament_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

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
        BuildArchive(published / "torvel.cab", server.Dados() / "fonte", files);
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

namespace {

// Every file and folder under root with the contents of the files.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        tree[fs::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<pasta>" : ReadFile(entry.path());
    return tree;
}

} // namespace

// An archive with both documents and an entry that cannot take its place
// (a plain file where a folder is, a folder needed where a plain file is)
// replaces nothing: every old file stays byte for byte, nothing new stays
// behind and the documents in memory are the old ones.
TEST_F(WebUpdate, AnEntryThatCannotBeMovedReplacesNothing) {
    fs::create_directories(program.Dados() / "band");
    WriteFile(program.Dados() / "band" / "brasil.jpg", "flag");
    WriteFile(program.Dados() / "leiame", "a plain file");
    fs::create_directories(program.Dados() / "zzz");
    WriteFile(program.Dados() / "zzz" / "dentro.txt", "kept");
    pugi::xml_document teams, matches;
    MakeTeamDocument(teams);
    MakeMatchDocument(matches);
    teams.document_element().first_child().child("Nome").text() = "Seleção Nova";
    // Moved in name order: the last collision fails after every other file
    // has taken its place.
    const std::pair<std::string, std::string> collisions[] = {
        {"band", "a file, not a folder"}, {"leiame/novo.txt", "text"}, {"zzz", "last"}};
    for (const auto& collision : collisions) {
        Publish({{"selecoes.xml", ToText(teams)},
                 {"jogos.xml", ToText(matches)},
                 {"nova/pasta/a.txt", "new"},
                 {"zz.txt", "new"},
                 collision});
        TestServer http("serve", server.Dados().string());
        TTorvelDatabase database(program.Path());
        const std::string oldName = database.Selecoes[0].Nome();
        TDataUpdate update(program.Path());
        update.Download(TWebClient(), http.Url());
        auto before = Tree(program.Dados());
        before.erase("torvel.cab");

        EXPECT_THROW(update.Install(database), EUpdateTransferError) << collision.first;
        auto after = Tree(program.Dados());
        after.erase("torvel.cab");
        EXPECT_EQ(after, before) << collision.first;
        ExpectOldFilesUnchanged();
        EXPECT_EQ(database.Selecoes[0].Nome(), oldName);
        EXPECT_EQ(database.XMLSelecoes.FileName, (program.Dados() / "selecoes.xml").string());
        fs::remove_all(server.Dados() / "fonte");
    }
}

// Proxies named in the environment are not used: the listener they point at
// hears nothing and the download reaches the server directly.
TEST_F(WebUpdate, ProxyVariablesAreNotFollowed) {
    PublishNewTournament();
    TestServer http("serve", server.Dados().string());
    LoopbackListener proxy;
    std::vector<std::unique_ptr<ScopedEnvironment>> environment;
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        environment.push_back(std::make_unique<ScopedEnvironment>(name, proxy.Url()));
    environment.push_back(std::make_unique<ScopedEnvironment>("no_proxy", ""));
    environment.push_back(std::make_unique<ScopedEnvironment>("NO_PROXY", ""));

    TWebClient client;
    client.StallTimeout = std::chrono::seconds(2);
    TDataUpdate update(program.Path());
    EXPECT_NO_THROW(update.Download(client, http.Url()));
    EXPECT_FALSE(proxy.WasContacted());
    EXPECT_EQ(ReadFile(update.ArchivePath()), ReadFile(published / "torvel.cab"));
}

// A server that keeps sending a byte now and then never stalls, but the whole
// download still ends at the overall time limit (60 s unless a test shortens
// it).
TEST_F(WebUpdate, ATricklingDownloadEndsAtTheOverallTimeLimit) {
    EXPECT_EQ(TWebClient().TotalTimeout, std::chrono::seconds(60));
    TestServer trickling("trickle", server.Dados().string());
    TWebClient client;
    client.StallTimeout = std::chrono::seconds(1);
    client.TotalTimeout = std::chrono::seconds(3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(TDataUpdate(program.Path()).Download(client, trickling.Url()),
                 EUpdateTransferError);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2500)) << "a stall limit would end it sooner";
    EXPECT_LT(elapsed, std::chrono::seconds(6));
    EXPECT_GT(fs::file_size(TDataUpdate(program.Path()).ArchivePath()), 5u) << "bytes did arrive";
    ExpectOldFilesUnchanged();
}
