#include <string>
#include <vector>

#include "command.h"
#include "formats/spi_plugins.h"
#include "messages.h"

int main(int argc, char** argv)
{
    lumavex::cli::initMessages();
    // Image plug-ins from the folders chosen in the editor, the program's folder and the system
    // plug-in folder add their formats.
    lumavex::SpiPlugins plugins;
    std::vector<std::string> folders = lumavex::SpiPlugins::userDirectories();
    for (const std::string& folder : lumavex::SpiPlugins::defaultDirectories())
        folders.push_back(folder);
    plugins.search(folders);
    return lumavex::cli::runTool(std::vector<std::string>(argv + 1, argv + argc));
}
