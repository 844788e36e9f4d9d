#pragma once
// Reader for record files, the text form of a port-write stream shared by
// lcdfeed and lcdreplay:
//   - tokens are separated by white space; '#' starts a comment that runs to
//     the end of the line (also right after a token, as in "7841#data");
//   - a token of 1 to 4 hex digits (either case, no "0x") is one
//     PortWriteRecord, e.g. 7841 = value 0x41 written to the data register;
//   - the token "." ends a batch: what came before is to be delivered
//     together, followed by a pause long enough for the display's idle flush;
//   - the end of the input ends the last batch.
//
// Usage:
//   RecordFileTokenizer tokens(stream);
//   for (;;) {
//     RecordToken t = tokens.Next();
//     switch (t.kind) { case kRecord: ...t.record...; case kBatchEnd: ...;
//                       case kEnd: done; case kError: tokens.ErrorMessage(); }
//   }
// After kEnd or kError, Next keeps returning the same kind.

#include <cstddef>
#include <istream>
#include <string>

#include "common/lcd_types.h"

namespace lptlcd {

struct RecordToken {
  enum class Kind { kRecord, kBatchEnd, kEnd, kError };
  Kind kind = Kind::kEnd;
  PortWriteRecord record = 0;  // kRecord only
};

class RecordFileTokenizer {
 public:
  // The stream must outlive the tokenizer.
  explicit RecordFileTokenizer(std::istream& stream) : in(stream) {}

  RecordToken Next();

  // Line (from 1) of the token last returned; for kError the offending line.
  std::size_t Line() const { return line; }
  // After kError: the offending token as read (possibly cut short), and one
  // line for the user, e.g.
  //   line 3: bad token "78g1" (expected 1 to 4 hex digits or ".")
  // A read failure of the stream gives "line N: read error".
  const std::string& BadToken() const { return badToken; }
  const std::string& ErrorMessage() const { return error; }

 private:
  bool NextToken(std::string& token);
  RecordToken Fail(const std::string& token);

  std::istream& in;
  std::string lineText;
  std::size_t pos = 0;
  std::size_t line = 0;
  bool finished = false;
  RecordToken::Kind finalKind = RecordToken::Kind::kEnd;
  std::string badToken;
  std::string error;
};

// Parses one record token (1 to 4 hex digits); false for anything else.
bool ParseRecordToken(const std::string& token, PortWriteRecord& record);

}  // namespace lptlcd
