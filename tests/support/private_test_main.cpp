// main() for GoogleTest programs that start other programs: they all run in a private
// environment.
#include <gtest/gtest.h>

#include "support/private_environment.h"

int main(int argc, char** argv)
{
    const lumavex::test::PrivateEnvironment environment;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
