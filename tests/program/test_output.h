#pragma once
// Reads back what code under test printed to a FILE*.

#include <cstdio>
#include <string>

namespace lptlcd {

// A temporary file that stands in for standard output.
class CapturedStream {
 public:
  CapturedStream() : file_(std::tmpfile()) {}
  ~CapturedStream() {
    if (file_ != nullptr) std::fclose(file_);
  }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  std::FILE* Get() const { return file_; }

  // Everything written so far.
  std::string Text() const {
    std::string text;
    if (file_ == nullptr) return text;
    std::fflush(file_);
    const long end = std::ftell(file_);
    std::rewind(file_);
    char buffer[512];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, got);
    std::fseek(file_, end, SEEK_SET);
    return text;
  }

 private:
  std::FILE* file_;
};

}  // namespace lptlcd
