// The commands of the image toolkit's plain operations and of saving.
#include <iostream>

#include "command.h"
#include "toolkit/image_ops.h"

namespace lumavex::cli {
namespace {

Settings noSettings(const Invocation&)
{
    return NoSettings{};
}

const CommandFamily basic({
    {"save",
     "画像を OUTPUT の形式で保存します",
     {{"bits",
       OptionType::Integer,
       "8",
       "GIF の色数のビット数 (1..8)",
       false,
       {1, 2, 3, 4, 5, 6, 7, 8}},
      {"interlaced", OptionType::Flag, "", "GIF をインターレースで書きます"}},
     2,
     [](Invocation& inv, Raster&) {
         inv.saveOptions().gifBitsPerPixel = inv.integer("bits");
         inv.saveOptions().gifInterlaced = inv.flag("interlaced");
     },
     {},
     {},
     {},
     true},
    {"num-colors",
     "画像の色数を \"ColorCount=N\" と表示します",
     {},
     1,
     [](Invocation&, Raster& picture) {
         std::cout << "ColorCount=" << CountColors(picture) << "\n";
     }},
    sharedCommand(CommandId::HFlip, "左右反転", {}, noSettings),
    sharedCommand(CommandId::VFlip, "上下反転", {}, noSettings),
    sharedCommand(CommandId::Negative, "ネガ (各チャンネル v を 255 - v に)", {}, noSettings),
    sharedCommand(CommandId::Gray, "グレースケール ((30R + 59G + 11B) div 100)", {}, noSettings),
    sharedCommand(CommandId::ReSize, "キャンバスの大きさを変えます (左上を残し、広げた所は黒)",
                  {{"width", OptionType::Integer, "", "新しい幅", true},
                   {"height", OptionType::Integer, "", "新しい高さ", true}},
                  [](const Invocation& inv) -> Settings {
                      return SizeSettings{inv.integer("width"), inv.integer("height")};
                  }),
});

}  // namespace
}  // namespace lumavex::cli
