// lcdreplay [FILE]: prints the packets the display would receive for a stream
// of port-write records (from FILE, or standard input).

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/lcdreplay/replay.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Packet lines end in LF on every platform, so outputs compare byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 ||
                                 std::strcmp(argv[1], "--help") == 0))) {
    std::fprintf(stderr,
                 "usage: lcdreplay [FILE]\n"
                 "Reads port-write records (hex tokens such as 7841; '.' is a pause; '#' starts\n"
                 "a comment) from FILE or standard input and prints the display's packets.\n");
    return argc > 2 ? 2 : 0;
  }
  if (argc == 2) {
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "lcdreplay: cannot open %s: %s\n", argv[1], std::strerror(errno));
      return 2;
    }
    return lptlcd::ReplayRecords(file, argv[1], stdout, stderr);
  }
  return lptlcd::ReplayRecords(std::cin, "<stdin>", stdout, stderr);
}
