// The toolkit commands register here.
#include "command.h"

namespace lumavex::cli {
namespace {

const CommandFamily toolkitCommands({});

}  // namespace
}  // namespace lumavex::cli
