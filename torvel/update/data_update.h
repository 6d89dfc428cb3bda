#pragma once
// Replacing the data files with the ones the publisher's server offers.
//
// The archive is downloaded to dados/torvel.cab and extracted into a staging
// folder inside dados/. The new documents are opened and checked there, and
// only then moved over the data files, so a bad download or a bad archive
// never costs the user the files they have.

#include "cab_reader.h"
#include "web_client.h"

#include <stdexcept>
#include <string>

class TTorvelDatabase;

// The download or the extraction failed; the data files are unchanged.
class EUpdateTransferError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The archive's files are not a tournament the program can open; the data
// files are unchanged.
class EUpdateDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The path of the archive on the update server.
inline constexpr char UpdateArchivePath[] = "/torvel/torvel.cab";

// "http://host:port" of the update server chosen at build time.
std::string DefaultUpdateServer();

class TDataUpdate {
public:
    explicit TDataUpdate(std::string programDir);

    // GETs the archive from server + UpdateArchivePath into dados/torvel.cab.
    // Throws EUpdateTransferError.
    void Download(const TWebClient& client, const std::string& server) const;

    // Extracts the downloaded archive, checks the new documents, moves the
    // new files into dados/ (all of them, or none when one cannot be moved),
    // deletes the archive and reopens the database's documents. Throws EUpdateTransferError when
    // the archive cannot be extracted and EUpdateDataError when its documents do not open or break
    // the contents rules; in both cases the data files stay as they were.
    void Install(TTorvelDatabase& database) const;

    std::string ArchivePath() const { return dados_ + "torvel.cab"; }

private:
    std::string dados_;
};
