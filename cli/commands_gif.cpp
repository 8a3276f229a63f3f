// The colour reduction command; GIF saving itself goes through `save`.
#include "command.h"

namespace lumavex::cli {
namespace {

const CommandFamily gifCommands({
    sharedCommand(CommandId::Convert, "色数を減らします (ニューラルネットによる減色)",
                  {{"colors",
                    OptionType::Integer,
                    "",
                    "色数: 2, 16, 256, 32000, 64000",
                    true,
                    {2, 16, 256, 32000, 64000}}},
                  [](const Invocation& inv) -> Settings {
                      return ColorCountSettings{inv.integer("colors")};
                  }),
});

}  // namespace
}  // namespace lumavex::cli
