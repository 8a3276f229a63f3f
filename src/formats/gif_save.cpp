#include "gif_save.h"

#include "effects/error.h"

namespace lumavex {

void savePictureGif(const Raster&, OutputStream&, const SaveOptions&)
{
    throw Error(ErrorKind::Unsupported, "GIF ファイルの書き込みにはまだ対応していません");
}

}  // namespace lumavex
