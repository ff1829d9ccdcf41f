// Installs the DNA alphabet once per test program (see dp_test_support.h).
#include "../forward2/dp_test_support.h"

static testing::Environment *const alphabet_environment =
    testing::AddGlobalTestEnvironment(new dptest::AlphabetEnvironment);
