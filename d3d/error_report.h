// The one error line of the program: unit, the line of the report in its source file, the HRESULT
// and a label naming the failed step. No other action is taken.
#pragma once

#include <cstdio>

#define ErrorReport(unit, hr, label)                                                                         \
    printf("ERROR : %s : %d 0x%08X : %s\n", unit, __LINE__, (unsigned int)(hr), label)
