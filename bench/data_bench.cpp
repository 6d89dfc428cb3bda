// Opening the shipped data files and saving the match document with a changed
// score through the database module, each next to pugixml's own
// load_file/save_file of the same file.

#include "torvel_database.h"

#include "changing_score.h"
#include "ratio_reporter.h"
#include "shipped_data_copy.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr unsigned ParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;

void BM_DatabaseOpen(benchmark::State& state) {
    ShippedDataCopy data;
    for (auto _ : state) {
        TTorvelDatabase database(data.ProgramDir());
        if (LoadFailed)
            state.SkipWithError(LoadFailedReason.c_str());
        benchmark::DoNotOptimize(database.Jogos);
    }
}
BENCHMARK(BM_DatabaseOpen);

void BM_BaselinePugixmlLoadBoth(benchmark::State& state) {
    ShippedDataCopy data;
    for (auto _ : state) {
        pugi::xml_document jogos;
        pugi::xml_document selecoes;
        benchmark::DoNotOptimize(jogos.load_file(data.File("jogos.xml").c_str(), ParseOptions));
        benchmark::DoNotOptimize(
            selecoes.load_file(data.File("selecoes.xml").c_str(), ParseOptions));
    }
}
BENCHMARK(BM_BaselinePugixmlLoadBoth);

void BM_DatabaseSaveMatches(benchmark::State& state) {
    ShippedDataCopy data;
    TTorvelDatabase database(data.ProgramDir());
    TChangingScore score(database.XMLJogos.Document());
    for (auto _ : state) {
        score.Change();
        database.XMLJogos.SaveToFile();
    }
}
BENCHMARK(BM_DatabaseSaveMatches);

void BM_BaselinePugixmlSaveMatches(benchmark::State& state) {
    ShippedDataCopy data;
    pugi::xml_document jogos;
    jogos.load_file(data.File("jogos.xml").c_str(), ParseOptions);
    TChangingScore score(jogos);
    for (auto _ : state) {
        score.Change();
        benchmark::DoNotOptimize(jogos.save_file(data.File("jogos.xml").c_str(), "\t"));
    }
}
BENCHMARK(BM_BaselinePugixmlSaveMatches);

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithRatios(
        argc, argv,
        {{"data_open", "BM_DatabaseOpen", "BM_BaselinePugixmlLoadBoth"},
         {"data_save_matches", "BM_DatabaseSaveMatches", "BM_BaselinePugixmlSaveMatches"}});
}
