#include "tools/producer/lcd_script.h"

#include <cstddef>

namespace lptlcd {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits off the next blank-separated word, leaving `pos` just after it.
bool NextWord(const std::string& line, std::size_t& pos, std::string& word) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos >= line.size()) return false;
  const std::size_t start = pos;
  while (pos < line.size() && !IsBlank(line[pos])) ++pos;
  word.assign(line, start, pos - start);
  return true;
}

bool ParseNumber(const std::string& word, unsigned base, unsigned maxDigits, unsigned maxValue,
                 unsigned& value) {
  if (word.empty() || word.size() > maxDigits) return false;
  unsigned v = 0;
  for (char c : word) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (digit >= base) return false;
    v = v * base + digit;
  }
  if (v > maxValue) return false;
  value = v;
  return true;
}

bool ParseHexByte(const std::string& word, std::uint8_t& byte) {
  unsigned v = 0;
  if (!ParseNumber(word, 16, 2, 0xFF, v)) return false;
  byte = static_cast<std::uint8_t>(v);
  return true;
}

// Text argument: everything after the single blank that ends the previous word.
std::string RestOfLine(const std::string& line, std::size_t pos) {
  if (pos < line.size() && IsBlank(line[pos])) ++pos;
  std::string text = line.substr(pos < line.size() ? pos : line.size());
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

}  // namespace

bool ParseLcdScript(std::istream& in, Waveform waveform, std::vector<ScriptStep>& steps,
                    std::string& error) {
  steps.clear();
  LcdRecordWriter writer(waveform);
  auto flushRecords = [&] {
    if (writer.Records().empty()) return;
    ScriptStep step;
    step.kind = ScriptStep::Kind::kRecords;
    step.records = writer.TakeRecords();
    steps.push_back(std::move(step));
  };

  std::string line;
  std::size_t lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    std::size_t pos = 0;
    std::string command;
    if (!NextWord(line, pos, command) || command[0] == '#') continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    auto fail = [&](const std::string& message) {
      error = where + message;
      steps.clear();
      return false;
    };
    std::vector<std::string> args;
    // Commands whose argument is free text take the rest of the line.
    if (command == "text") {
      std::string lineWord;
      unsigned lcdLine = 0;
      if (!NextWord(line, pos, lineWord) || !ParseNumber(lineWord, 10, 1, 1, lcdLine)) {
        return fail("text needs a line number 0 or 1");
      }
      writer.TextAt(lcdLine, RestOfLine(line, pos));
      continue;
    }
    if (command == "write") {
      writer.Text(RestOfLine(line, pos));
      continue;
    }
    for (std::string word; NextWord(line, pos, word);) args.push_back(word);
    auto wantArgs = [&](std::size_t n) { return args.size() == n; };

    if (command == "init" && wantArgs(0)) {
      writer.Init();
    } else if (command == "home" && wantArgs(0)) {
      writer.Home();
    } else if (command == "clear" && wantArgs(0)) {
      writer.Clear();
    } else if (command == "at") {
      unsigned lcdLine = 0, column = 0;
      if (!wantArgs(2) || !ParseNumber(args[0], 10, 1, hd44780::kLines - 1, lcdLine) ||
          !ParseNumber(args[1], 10, 2, hd44780::kTwoLineLength - 1, column)) {
        return fail("at needs a line 0-1 and a column 0-39");
      }
      writer.MoveTo(lcdLine, column);
    } else if (command == "char") {
      unsigned code = 0;
      std::uint8_t rows[hd44780::kGlyphRows] = {};
      bool ok = wantArgs(1 + hd44780::kGlyphRows) &&
                ParseNumber(args[0], 10, 1, hd44780::kCustomChars - 1, code);
      for (std::size_t i = 0; ok && i < hd44780::kGlyphRows; ++i) ok = ParseHexByte(args[1 + i], rows[i]);
      if (!ok) return fail("char needs a code 0-7 and eight hex rows");
      writer.DefineChar(code, rows);
    } else if (command == "instr" || command == "data") {
      std::uint8_t byte = 0;
      if (!wantArgs(1) || !ParseHexByte(args[0], byte)) return fail(command + " needs one hex byte");
      if (command == "instr") {
        writer.Instruction(byte);
      } else {
        writer.Data(byte);
      }
    } else if (command == "pause") {
      unsigned ms = 0;
      if (!wantArgs(1) || !ParseNumber(args[0], 10, 5, kMaxScriptPauseMs, ms)) {
        return fail("pause needs milliseconds 0-60000");
      }
      flushRecords();
      ScriptStep step;
      step.kind = ScriptStep::Kind::kPause;
      step.pauseMs = ms;
      steps.push_back(std::move(step));
    } else if (command == "wait-drained" && wantArgs(0)) {
      flushRecords();
      ScriptStep step;
      step.kind = ScriptStep::Kind::kWaitDrained;
      steps.push_back(std::move(step));
    } else if (command == "init" || command == "home" || command == "clear" ||
               command == "wait-drained") {
      return fail(command + " takes no arguments");
    } else {
      std::string shown;
      for (char c : command) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
      return fail("unknown command \"" + shown + "\"");
    }
  }
  if (in.bad()) {
    error = "line " + std::to_string(lineNumber + 1) + ": read error";
    steps.clear();
    return false;
  }
  flushRecords();
  return true;
}

}  // namespace lptlcd
