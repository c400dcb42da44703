// The DIZ and the NFO as pictures: "Save as picture..." on their panels, and
// the run's BASE-nfo.png beside the zips. The file's bytes are drawn as they
// are, SAUCE and colour escapes honoured (art::DrawText).
#pragma once

#include <string>

#include "core/context.h"

namespace kelvo::texts {

// "Save as picture...": asks for a PNG (the text's name with ".png", in its
// folder) and writes the chosen text's picture there. Nothing without a
// choice; a text that can't be read or drawn, or a picture that can't be
// written, is reported and no picture is left behind.
void SaveDizPicture(Context& ctx);
void SaveNfoPicture(Context& ctx);

// The picture of the text at `textPath` written to `picturePath` (DOS
// paths). Throws HostError, naming the text or the picture.
void WriteTextPicture(Context& ctx, const std::string& textPath, const std::string& picturePath);

}  // namespace kelvo::texts
