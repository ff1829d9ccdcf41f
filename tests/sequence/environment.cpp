// Installs the alphabets of the sequence tests once per test program (see seqtest.h).
#include "seqtest.h"

static testing::Environment *const alphabet_environment =
    testing::AddGlobalTestEnvironment(new seqtest::AlphabetEnvironment);
