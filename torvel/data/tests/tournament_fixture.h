#pragma once
// Builds complete, valid tournament documents for tests, and temporary
// program folders holding them.

#include <pugixml.hpp>

#include <filesystem>
#include <string>

namespace torvel_test {

// 32 teams numbered 101 to 132 (team index i has number 101 + i), group g
// holding the indexes 4g to 4g + 3, each named "Time <index>" with a flag
// "time<index>.jpg" and an empty squad.
void MakeTeamDocument(pugi::xml_document& document);

// 64 matches in the index layout: group g plays its six pairings at 6g to
// 6g + 5 (team slots (0,1) (2,3) (0,2) (3,1) (3,0) (1,2) of the group), then
// the last 16 (1A-2B, 1C-2D, 1B-2A, 1D-2C, 1E-2F, 1G-2H, 1F-2E, 1H-2G), the
// quarter-finals (winners of 48-49, 52-53, 50-51, 54-55), the semi-finals
// (winners of 56-57, 58-59), the third place match (losers of 60-61) and the
// final (winners of 60-61). No results; dates and times in a realistic order
// that is not the index order.
void MakeMatchDocument(pugi::xml_document& document);

std::string ToText(const pugi::xml_document& document);
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// A temporary program folder with a dados/ subfolder, removed with the object.
class TempProgramDir {
public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    // The folder, ending in '/', as the database expects ProgramDir.
    std::string Path() const { return path_.string() + "/"; }
    std::filesystem::path Dados() const { return path_ / "dados"; }

    // Writes the documents of MakeTeamDocument and MakeMatchDocument.
    void WriteValidTournament() const;
    void WriteTeams(const pugi::xml_document& document) const;
    void WriteMatches(const pugi::xml_document& document) const;

private:
    std::filesystem::path path_;
};

} // namespace torvel_test
