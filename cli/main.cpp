#include <string>
#include <vector>

#include "command.h"

int main(int argc, char** argv)
{
    return lumavex::cli::runTool(std::vector<std::string>(argv + 1, argv + argc));
}
