#pragma once
// Reads back what code under test printed to a FILE*.

#include <cstdio>
#include <string>

namespace lptlcd::test {

// A temporary file that stands in for standard output.
class CapturedStream {
 public:
  CapturedStream() : file(std::tmpfile()) {}
  ~CapturedStream() {
    if (file != nullptr) std::fclose(file);
  }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  std::FILE* Get() const { return file; }

  // Everything written so far.
  std::string Text() const {
    std::string text;
    if (file == nullptr) return text;
    std::fflush(file);
    const long end = std::ftell(file);
    std::rewind(file);
    char buffer[512];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fseek(file, end, SEEK_SET);
    return text;
  }

 private:
  std::FILE* file;
};

}  // namespace lptlcd::test
