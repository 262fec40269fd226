// Every measured fact of the hosts' records, suite tables and constants,
// checked against host/ by the compiler: a record that differs from the
// hosts' by one member, one byte or one slot does not build. The facts are
// those of the target being built: Windows x64, or an LP64 Unix system.
#include "abi/LayoutChecks.h"

#include QUORVEL_ABI_CHECKS

static_assert(QUORVEL_ABI_FACTS_CHECKED == 990, "a fact file of 990 facts");
