// The toolkit commands: Lanczos3 resampling, rotation by whole degrees, and the FL mask.
#include <string>

#include "command.h"
#include "core/error.h"
#include "mask/fl_mask.h"
#include "toolkit/resample.h"
#include "toolkit/rotate.h"

namespace lumavex::cli {
namespace {

const CommandFamily toolkitCommands({
    {"resample",
     "Lanczos3 で拡大縮小します",
     {{"width", OptionType::Integer, "", "新しい幅 (1 以上)", true},
      {"height", OptionType::Integer, "", "新しい高さ (1 以上)", true}},
     2,
     [](Invocation& inv, Raster& picture) {
         const int width = inv.integer("width");
         const int height = inv.integer("height");
         if (width < 1 || height < 1)
             throw Error(ErrorKind::BadArgument,
                         "幅と高さは 1 以上でなければなりません: " + std::to_string(width) + " x " +
                             std::to_string(height));
         Resample(picture, width, height, kLanczos3Filter);
     }},
    {"rotate",
     "整数の角度で反時計回りに回転します (アンチエイリアス付き、空いた所は黒)",
     {{"angle", OptionType::Integer, "", "角度 (度)", true}},
     2,
     [](Invocation& inv, Raster& picture) { Rotate(picture, inv.integer("angle"), true); }},
    {"fl-mask",
     "FL マスク: 8 x 8 のタイルを渦巻きの逆順に並べ替えて色を反転します (2 回で元に戻ります)",
     {{"rect", OptionType::Rect, "", "範囲 (画像のピクセル、既定は画像全体)"}},
     2,
     [](Invocation& inv, Raster& picture) {
         ApplyFLMaskToRegion(picture, inv.rect("rect").value_or(picture.bounds()), 1);
     }},
});

}  // namespace
}  // namespace lumavex::cli
