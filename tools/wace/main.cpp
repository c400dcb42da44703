// wace: the ACE command line (volume sizes in thousands of bytes), written
// as a 7z set by 7-Zip.
#include <string>
#include <vector>

#include "archiver/stand_in.h"

int main(int argc, char** argv) {
  return kelvo::archiver::RunStandIn(kelvo::archiver::Flavour::Ace,
                                     std::vector<std::string>(argv + 1, argv + argc));
}
