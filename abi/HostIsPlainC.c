/* host/ is the hosts' C interface: it must stay plain C, whatever the
   module's C++ makes of it. This file includes it as C and nothing else. */
#include "host/PF_Host.h"

typedef int quorvel_host_compiles_as_c;
