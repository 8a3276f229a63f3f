#include <string>
#include <vector>

#include "command.h"
#include "messages.h"

int main(int argc, char** argv)
{
    lumavex::cli::initMessages();
    return lumavex::cli::runTool(std::vector<std::string>(argv + 1, argv + argc));
}
