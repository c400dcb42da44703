// Writes one line per argument, then "cwd=<dir>", then what came on standard
// input, to the file named by $KELVO_RECORD. Exits with $KELVO_EXIT (or 0).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  const char* out = std::getenv("KELVO_RECORD");
  if (!out) return 99;
  std::FILE* f = std::fopen(out, "wb");
  if (!f) return 98;
  for (int i = 1; i < argc; ++i) std::fprintf(f, "%s\n", argv[i]);
  char cwd[4096];
  std::fprintf(f, "cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
  if (std::getenv("KELVO_READ_STDIN")) {
    std::string in((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    std::fprintf(f, "stdin=%s", in.c_str());
  }
  if (std::getenv("KELVO_WRITE_STDOUT")) std::printf("hello from recorder\n");
  std::fclose(f);
  const char* code = std::getenv("KELVO_EXIT");
  return code ? std::atoi(code) : 0;
}
