// The gif commands register here.
#include "command.h"

namespace lumavex::cli {
namespace {

const CommandFamily gifCommands({});

}  // namespace
}  // namespace lumavex::cli
