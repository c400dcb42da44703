#include "host/chosen_path.h"

#include "host/dospath.h"

namespace kelvo::host {

std::string LowerChosenPath(const FileSystem& fs, std::string_view dosPath) {
  if (!dos::IsAbsolute(dosPath)) return dos::Lower(dosPath);
  std::string out = dos::Lower(dosPath.substr(0, 3));
  std::string_view rest = dosPath.substr(3);
  while (!rest.empty()) {
    size_t cut = rest.find_first_of("\\/");
    std::string_view part = rest.substr(0, cut);
    std::string lower = dos::Lower(part);
    if (lower != part) {
      std::string asChosen = out + std::string(part);
      std::string lowered = out + lower;
      // Lowering is safe when both spellings lead to the same host entry, or
      // when the chosen one does not exist (then nothing can be misnamed).
      bool keep = fs.HostPath(asChosen) != fs.HostPath(lowered) && fs.Exists(asChosen);
      out += keep ? std::string(part) : lower;
    } else {
      out += lower;
    }
    if (cut == std::string_view::npos) break;
    out += rest[cut];
    rest.remove_prefix(cut + 1);
  }
  return out;
}

}  // namespace kelvo::host
