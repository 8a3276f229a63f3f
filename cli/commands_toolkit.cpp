// The toolkit commands: Lanczos3 resampling, rotation by whole degrees, and the FL mask.
#include "command.h"

namespace lumavex::cli {
namespace {

const CommandFamily toolkitCommands({
    sharedCommand(CommandId::Resample, "Lanczos3 で拡大縮小します",
                  {{"width", OptionType::Integer, "", "新しい幅 (1 以上)", true},
                   {"height", OptionType::Integer, "", "新しい高さ (1 以上)", true}},
                  [](const Invocation& inv) -> Settings {
                      return SizeSettings{inv.integer("width"), inv.integer("height")};
                  }),
    sharedCommand(CommandId::Rotate,
                  "整数の角度で反時計回りに回転します (アンチエイリアス付き、空いた所は黒)",
                  {{"angle", OptionType::Integer, "", "角度 (度)", true}},
                  [](const Invocation& inv) -> Settings {
                      return RotateSettings{inv.integer("angle")};
                  }),
    sharedCommand(
        CommandId::Mask,
        "FL マスク: 8 x 8 のタイルを渦巻きの逆順に並べ替えて色を反転します (2 回で元に戻ります)",
        {{"rect", OptionType::Rect, "", "範囲 (画像のピクセル、既定は画像全体)"}},
        [](const Invocation& inv) -> Settings { return MaskSettings{inv.rect("rect")}; }),
});

}  // namespace
}  // namespace lumavex::cli
