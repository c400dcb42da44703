#include "texts/text_pictures.h"

#include <optional>

#include "art/picture.h"
#include "core/message_titles.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "texts/text_preview.h"

namespace kelvo::texts {

namespace {

// "orbit.nfo" -> "orbit.png"; a name without an extension gains one.
std::string PictureName(const std::string& textPath) {
  std::string name = dos::FileNamePart(textPath);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name + ".png";
}

void SaveTextPicture(Context& ctx, const std::string& textPath) {
  if (textPath.empty()) return;
  FileDialogRequest request;
  request.title = "Save as picture";
  request.filter = "Picture (*.png)|*.png|";
  request.initialName = PictureName(textPath);
  request.initialDir = dos::Parent(textPath);
  std::optional<std::string> chosen = ctx.ui.SaveFile(request);
  if (!chosen || chosen->empty()) return;
  std::string path = *chosen;
  if (dos::FileNamePart(path).find('.') == std::string::npos) path += ".png";
  path = ctx.fs.LowerChosenPath(path);
  try {
    WriteTextPicture(ctx, textPath, path);
  } catch (const host::HostError& e) {
    ctx.ui.ShowMessage(std::string("The picture can't be saved\r") + e.what(), kErrorTitle,
                       MessageIcon::Critical, MessageButtons::Ok);
  }
}

}  // namespace

void SaveDizPicture(Context& ctx) {
  SaveTextPicture(ctx, ctx.job.DizPath);
}

void SaveNfoPicture(Context& ctx) {
  SaveTextPicture(ctx, ctx.job.NfoPath);
}

void WriteTextPicture(Context& ctx, const std::string& textPath, const std::string& picturePath) {
  if (ctx.fs.SameFile(textPath, picturePath))
    throw host::HostError("write", picturePath, "it is the text itself");
  const std::optional<std::string> bytes = ctx.fs.ReadWholeFile(textPath, kPreviewLimit);
  if (!bytes) throw host::HostError("draw", textPath, "the text is too large for a picture");
  const art::Picture picture = art::DrawText(*bytes);
  if (!picture.Drawn()) throw host::HostError("draw", textPath, picture.error);
  // Written beside and renamed over: a failed write leaves no half PNG.
  auto out = ctx.fs.OpenWrite(picturePath, host::LineWriter::Mode::Replace);
  out->WriteRaw(picture.png);
  out->Close();
}

}  // namespace kelvo::texts
