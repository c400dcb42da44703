// wrar: the RAR command line, run by a real rar when one is on the PATH,
// else written as a 7z set by 7-Zip.
#include <string>
#include <vector>

#include "archiver/stand_in.h"

int main(int argc, char** argv) {
  return kelvo::archiver::RunStandIn(kelvo::archiver::Flavour::Rar,
                                     std::vector<std::string>(argv + 1, argv + argc));
}
