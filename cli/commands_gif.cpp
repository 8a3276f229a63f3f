// The colour reduction command; GIF saving itself goes through `save`.
#include "command.h"
#include "toolkit/color_reduction.h"

namespace lumavex::cli {
namespace {

const CommandFamily gifCommands({
    {"convert",
     "色数を減らします (ニューラルネットによる減色)",
     {{"colors",
       OptionType::Integer,
       "",
       "色数: 2, 16, 256, 32000, 64000",
       true,
       {2, 16, 256, 32000, 64000}}},
     2,
     [](Invocation& inv, Raster& picture) { ReduceColors(picture, inv.integer("colors")); }},
});

}  // namespace
}  // namespace lumavex::cli
