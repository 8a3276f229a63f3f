// The text commands register here.
#include "command.h"

namespace lumavex::cli {
namespace {

const CommandFamily textCommands({});

}  // namespace
}  // namespace lumavex::cli
