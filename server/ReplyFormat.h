// The reply side of the calendar protocol: the success status line, record
// lines and error replies, as bytes.
#pragma once

#include "server/StoreVersion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// First line of the success reply of HELLO and SET; it never contains
// "DATA", so a reply without records is still a non-empty success.
inline constexpr std::string_view kSuccessStatusLine = "+OK RDZVP/0.0\r\n";

// The success line of a GET names how many record lines follow, so a reply
// cut short is told from a whole one: "+OK RDZVP/0.0 <n>" + CR LF. The GET
// of a whole data set also names the data set's version, read with its
// records: "+OK RDZVP/0.0 <n> VERSION <v>" + CR LF.
std::string GetStatusLine(size_t recordLines, std::optional<int64_t> version = std::nullopt);

// Room kept in front of a GET's records for its status line: the longest
// count and version (20 digits each) fit.
inline constexpr size_t kStatusLineRoom = 72;

// The reply of VERSIONS: "+OK RDZVP/0.0 <v1> <v2> <v3>" + CR LF, the change
// counters of data sets 1, 2 and 3.
std::string VersionsReply(const StoreVersion& version);

// Escape, and also CR, LF and NUL (as "+0D", "+0A", "+00"), so a text can
// never split or cut a reply line.
std::string EscapeReplyText(std::string_view text);
void AppendEscapedReplyText(std::string& out, std::string_view text);

// "-" + escaped message + CR LF.
std::string ErrorReply(std::string_view message);

// Builds one "DATA:..." line field by field.
class RecordLineWriter {
public:
    explicit RecordLineWriter(std::string& out) : out_(out) { out_ += "DATA"; }
    RecordLineWriter(const RecordLineWriter&) = delete;
    RecordLineWriter& operator=(const RecordLineWriter&) = delete;

    RecordLineWriter& Int(int64_t value);
    RecordLineWriter& Text(std::string_view text);
    void End() { out_ += "\r\n"; }

private:
    std::string& out_;
};
