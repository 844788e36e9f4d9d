#include "tools/producer/record_file.h"

#include <cstdio>

namespace lptlcd {

namespace {

constexpr std::size_t kMaxTokenShown = 32;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The token as it may safely be shown on a terminal: control and non-ASCII
// bytes escaped, long tokens cut.
std::string Printable(const std::string& token) {
  std::string out;
  const std::size_t n = token.size() < kMaxTokenShown ? token.size() : kMaxTokenShown;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(token[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  if (token.size() > n) out += "...";
  return out;
}

}  // namespace

bool ParseRecordToken(const std::string& token, PortWriteRecord& record) {
  if (token.empty() || token.size() > 4) return false;
  unsigned value = 0;
  for (char c : token) {
    const int digit = HexValue(c);
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  record = static_cast<PortWriteRecord>(value);
  return true;
}

bool RecordFileTokenizer::NextToken(std::string& token) {
  for (;;) {
    while (pos < lineText.size() && IsSpace(lineText[pos])) ++pos;
    if (pos < lineText.size() && lineText[pos] != '#') break;
    // Line used up or the rest is a comment: on to the next line.
    if (!std::getline(in, lineText)) return false;
    ++line;
    pos = 0;
  }
  const std::size_t start = pos;
  while (pos < lineText.size() && !IsSpace(lineText[pos]) && lineText[pos] != '#') ++pos;
  token.assign(lineText, start, pos - start);
  return true;
}

RecordToken RecordFileTokenizer::Fail(const std::string& token) {
  finished = true;
  finalKind = RecordToken::Kind::kError;
  badToken = token;
  error = "line " + std::to_string(line) + ": bad token \"" + Printable(token) +
           "\" (expected 1 to 4 hex digits or \".\")";
  return RecordToken{RecordToken::Kind::kError, 0};
}

RecordToken RecordFileTokenizer::Next() {
  if (finished) return RecordToken{finalKind, 0};
  std::string token;
  if (!NextToken(token)) {
    finished = true;
    if (in.bad()) {
      finalKind = RecordToken::Kind::kError;
      error = "line " + std::to_string(line + 1) + ": read error";
    } else {
      finalKind = RecordToken::Kind::kEnd;
    }
    return RecordToken{finalKind, 0};
  }
  if (token == ".") return RecordToken{RecordToken::Kind::kBatchEnd, 0};
  PortWriteRecord record = 0;
  if (!ParseRecordToken(token, record)) return Fail(token);
  return RecordToken{RecordToken::Kind::kRecord, record};
}

}  // namespace lptlcd
