#include "tests/oracle/bus_script.h"

#include <cctype>

namespace lptlcd::test {

namespace {

bool Hex(const std::string& step, std::size_t at, std::uint8_t& byte) {
  if (at + 2 > step.size() || !std::isxdigit(static_cast<unsigned char>(step[at])) ||
      !std::isxdigit(static_cast<unsigned char>(step[at + 1]))) {
    return false;
  }
  byte = static_cast<std::uint8_t>(std::stoul(step.substr(at, 2), nullptr, 16));
  return true;
}

}  // namespace

std::string ForEachBusStep(const std::string& script,
                           const std::function<void(bool, std::uint8_t)>& write,
                           const std::function<void()>& pause) {
  bool fourBit = false;
  const auto byte = [&](bool registerSelect, std::uint8_t value) {
    if (!fourBit) {
      write(registerSelect, value);
      return;
    }
    write(registerSelect, static_cast<std::uint8_t>(value & 0xF0));
    write(registerSelect, static_cast<std::uint8_t>(value << 4));
  };
  for (std::size_t at = 0; at < script.size();) {
    if (script[at] == ' ') {
      ++at;
      continue;
    }
    std::size_t end = script[at] == '\'' ? script.find('\'', at + 1) : script.find(' ', at);
    end = end == std::string::npos ? script.size() : end + (script[at] == '\'' ? 1 : 0);
    const std::string step = script.substr(at, end - at);
    at = end;
    std::uint8_t value = 0;
    if ((step[0] == 'i' || step[0] == 'd') && step.size() == 3 && Hex(step, 1, value)) {
      byte(step[0] == 'd', value);
    } else if (step[0] == '\'' && step.size() >= 2 && step.back() == '\'') {
      for (std::size_t i = 1; i + 1 < step.size(); ++i) byte(true, static_cast<std::uint8_t>(step[i]));
    } else if (step[0] == 'g' && step.size() == 19 && step[1] >= '0' && step[1] <= '7' && step[2] == ':') {
      std::uint8_t rows[8];
      for (std::size_t row = 0; row < 8; ++row) {
        if (!Hex(step, 3 + 2 * row, rows[row])) return step;  // nothing of it written
      }
      byte(false, static_cast<std::uint8_t>(0x40 + 8 * (step[1] - '0')));
      for (std::uint8_t row : rows) byte(true, row);
    } else if (step == "4bit" || step == "8bit") {
      fourBit = step == "4bit";
    } else if (step == "|") {
      pause();
    } else {
      return step;
    }
  }
  return "";
}

}  // namespace lptlcd::test
