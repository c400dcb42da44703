#include "run/nfo_picture.h"

#include "run/zip_names.h"
#include "texts/text_pictures.h"

namespace kelvo {

void SetWriteNfoPicture(Context& ctx, bool on) {
  ctx.prefs.WriteNfoPicture = on;
}

std::string NfoPicturePath(const Context& ctx) {
  return StoragePrefix(ctx.job.ZipStorageDir) + "\\" + ctx.job.ZipBaseName + "-nfo.png";
}

void WriteRunNfoPicture(Context& ctx) {
  if (!ctx.prefs.WriteNfoPicture || ctx.job.NfoPath.empty()) return;
  texts::WriteTextPicture(ctx, ctx.job.NfoPath, NfoPicturePath(ctx));
}

}  // namespace kelvo
