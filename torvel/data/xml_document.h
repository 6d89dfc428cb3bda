#pragma once
// An XML document held in memory, loaded from and saved to one file.

#include <pugixml.hpp>

#include <stdexcept>
#include <string>

class EXMLDocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TXMLDocument {
public:
    std::string FileName;

    // Reads and parses FileName, keeping comments and the declaration; the
    // encoding comes from a byte-order mark or the declaration (UTF-8 when
    // neither names one). Throws EXMLDocumentError; the document is then
    // inactive.
    void Open();
    // Drops the document.
    void Close();
    bool Active() const { return active_; }

    // Writes the whole document to FileName in the encoding it was read in.
    // The text goes to a temporary file beside the target, is flushed to the
    // disk and then renamed over the target, so a failed save leaves the
    // previous file intact. A file that already holds exactly the text only
    // gets the time of the save. Throws EXMLDocumentError.
    void SaveToFile() const;

    pugi::xml_document& Document() { return document_; }

private:
    pugi::xml_document document_;
    pugi::xml_encoding encoding_ = pugi::encoding_utf8;
    bool active_ = false;
};

// Writes data to path through a temporary file beside it that is flushed to
// the disk and renamed over it; when the file already holds exactly data, only
// its modification time is renewed. Throws EXMLDocumentError naming the path
// on failure.
void WriteFileAtomically(const std::string& path, const std::string& data);
