#include <string>
#include <vector>

#include "command.h"
#include "formats/spi_plugins.h"
#include "messages.h"

int main(int argc, char** argv)
{
    lumavex::cli::initMessages();
    // Image plug-ins from the program's folder and the system plug-in folder add their formats.
    lumavex::SpiPlugins plugins;
    plugins.search(lumavex::SpiPlugins::defaultDirectories());
    return lumavex::cli::runTool(std::vector<std::string>(argv + 1, argv + argc));
}
