#include "tools/producer/record_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lptlcd {
namespace {

using Kind = RecordToken::Kind;

// Renders the token stream as text: records in hex, "." for batch ends,
// "END" or "ERR" last.
std::string Tokens(const std::string& text) {
  std::istringstream in(text);
  RecordFileTokenizer tokens(in);
  std::string out;
  for (;;) {
    const RecordToken t = tokens.Next();
    if (!out.empty()) out += ' ';
    switch (t.kind) {
      case Kind::kRecord: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(t.record));
        out += hex;
        break;
      }
      case Kind::kBatchEnd:
        out += '.';
        break;
      case Kind::kEnd:
        return out + "END";
      case Kind::kError:
        return out + "ERR";
    }
  }
}

TEST(RecordFileTokenizer, RecordsBatchesAndComments) {
  EXPECT_EQ(Tokens("# the letter A\n7841 7A04\t7A05 7a04 .\n\n  1 ff 0ABC # done\n"),
            "7841 7a04 7a05 7a04 . 0001 00ff 0abc END");
}

TEST(RecordFileTokenizer, CommentRightAfterATokenEndsIt) {
  EXPECT_EQ(Tokens("7841#data\n.#pause\r\n7A05\r\n"), "7841 . 7a05 END");
}

TEST(RecordFileTokenizer, EmptyInputAndOnlyComments) {
  EXPECT_EQ(Tokens(""), "END");
  EXPECT_EQ(Tokens("# nothing\n   \n#\n"), "END");
}

TEST(RecordFileTokenizer, LastLineWithoutNewline) {
  EXPECT_EQ(Tokens("7841\n7A05"), "7841 7a05 END");
}

TEST(RecordFileTokenizer, BadTokensAreNamedWithTheirLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"7841\n\n78g1 7A05\n", "line 3: bad token \"78g1\" (expected 1 to 4 hex digits or \".\")"},
      {"12345", "line 1: bad token \"12345\" (expected 1 to 4 hex digits or \".\")"},
      {"0x78", "line 1: bad token \"0x78\" (expected 1 to 4 hex digits or \".\")"},
      {"7841 ..", "line 1: bad token \"..\" (expected 1 to 4 hex digits or \".\")"},
      {"-1", "line 1: bad token \"-1\" (expected 1 to 4 hex digits or \".\")"},
      {"a\x01\xff", "line 1: bad token \"a\\x01\\xff\" (expected 1 to 4 hex digits or \".\")"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    RecordFileTokenizer tokens(in);
    RecordToken t;
    do {
      t = tokens.Next();
    } while (t.kind == Kind::kRecord || t.kind == Kind::kBatchEnd);
    ASSERT_EQ(t.kind, Kind::kError) << c.text;
    EXPECT_EQ(tokens.ErrorMessage(), c.message);
  }
}

TEST(RecordFileTokenizer, NothingAfterAnError) {
  EXPECT_EQ(Tokens("7841 zz 7A05 ."), "7841 ERR");
  std::istringstream in("zz 7841");
  RecordFileTokenizer tokens(in);
  EXPECT_EQ(tokens.Next().kind, Kind::kError);
  EXPECT_EQ(tokens.Next().kind, Kind::kError);
  EXPECT_EQ(tokens.BadToken(), "zz");
  EXPECT_EQ(tokens.Line(), 1u);
}

TEST(RecordFileTokenizer, LongBadTokenIsCutInTheMessage) {
  std::istringstream in(std::string(100, 'x'));
  RecordFileTokenizer tokens(in);
  ASSERT_EQ(tokens.Next().kind, Kind::kError);
  EXPECT_EQ(tokens.ErrorMessage(), "line 1: bad token \"" + std::string(32, 'x') +
                                       "...\" (expected 1 to 4 hex digits or \".\")");
  EXPECT_EQ(tokens.BadToken().size(), 100u);
}

TEST(ParseRecordToken, HexDigitsOnly) {
  PortWriteRecord r = 0;
  EXPECT_TRUE(ParseRecordToken("FFFF", r));
  EXPECT_EQ(r, 0xFFFF);
  EXPECT_TRUE(ParseRecordToken("0", r));
  EXPECT_EQ(r, 0);
  EXPECT_FALSE(ParseRecordToken("", r));
  EXPECT_FALSE(ParseRecordToken("+1", r));
  EXPECT_FALSE(ParseRecordToken("1 ", r));
}

}  // namespace
}  // namespace lptlcd
