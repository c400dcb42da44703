// The FILE_ID.DIZ and the NFO: the buttons of the Diz and Nfo panels, and
// the copies that go into each zip.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace kelvo::texts {

// Closes every NFO copy; "KVO" is this program's mark.
std::string NfoTagLine();
// A line counts as a tag line by its first 40 characters alone, so a tag of
// any maker or version stops the copy.
bool IsNfoTagLine(std::string_view line);

// The new-text drafts in the application's "temp" folder.
std::string NewDizFile(const Context& ctx);
std::string NewNfoFile(const Context& ctx);

// "&Create": opens the draft (made empty when missing, kept as it is when it
// exists) in the editor and chooses it. A draft that cannot be made is
// reported and nothing is chosen.
void CreateDiz(Context& ctx);
void CreateNfo(Context& ctx);

// "&Edit": the chosen file in the editor; nothing without a choice.
void EditDiz(Context& ctx);
void EditNfo(Context& ctx);

// "&Browse". Cancel drops the previous choice. A DIZ is copied to the work
// copy at once; a DIZ or NFO that lies where its own copy would be written
// is refused with a message, and the file is left as it is.
void BrowseDiz(Context& ctx);
void BrowseNfo(Context& ctx);
// "&Browse" from the point where its dialog has chosen a file.
void UseDiz(Context& ctx, const std::string& chosen);
void UseNfo(Context& ctx, const std::string& chosen);
// A file dropped on the Diz or Nfo panel: a .diz or .nfo is taken as
// "&Browse" takes its choice; anything else is refused on the drop notice.
void DropDiz(Context& ctx, const std::string& dosPath);
void DropNfo(Context& ctx, const std::string& dosPath);

// "&In 1st zip only": the NFO goes into the first zip alone.
void SetNfoFirstZipOnly(Context& ctx, bool firstOnly);

// An NFO up to this size is read whole, so that a SAUCE record at its end can
// be kept out of the line copy; a larger one is copied as lines alone.
inline constexpr std::uint64_t kNfoWholeReadLimit = std::uint64_t{1} << 20;

// An NFO as its copy takes it: the lines before a SAUCE tail (looked for
// only when `sauceKept`, as for an NFO read whole), cut after the first tag
// line, and the tail itself.
struct NfoCopyText {
  std::vector<std::string> lines;
  bool tagged = false;           // the lines end in a tag line: nothing is added
  std::size_t linesLeftOut = 0;  // after the tag line
  std::string_view sauce;        // into the bytes given; written after the lines
};
NfoCopyText SplitNfoForCopy(std::string_view bytes, bool sauceKept = true);
// The lines closing a copy that has no tag line of its own.
std::vector<std::string> NfoClosingLines();

inline constexpr const char* kNfoNamedAsDiz = "The nfo can't be named file_id.diz";
// Why an NFO of that path can't go into the zips, or empty.
std::string NfoNameProblem(const std::string& nfoPath);

// The copies of a run; both throw HostError, which ends the run.
// CopyDizForZip: DizPath to the work copy, unchanged.
void CopyDizForZip(Context& ctx);
// CopyNfoForZip: NfoPath to the work-copy folder under its own name,
// cut after a tag line or closed by an empty line and NfoTagLine; a SAUCE
// record at the end stays there, byte for byte. Sets run.NfoCopyName;
// nothing without an NFO.
void CopyNfoForZip(Context& ctx);

}  // namespace kelvo::texts
