// The effects commands register here.
#include "command.h"

namespace lumavex::cli {
namespace {

const CommandFamily effectsCommands({});

}  // namespace
}  // namespace lumavex::cli
