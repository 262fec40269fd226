/// Everything the module knows of its host, in one include.
#ifndef QUORVEL_HOST_PF_HOST_H
#define QUORVEL_HOST_PF_HOST_H

#include "host/DRAWBOT_Suites.h"
#include "host/PF_Effect.h"
#include "host/PF_Event.h"
#include "host/PF_Suites.h"
#include "host/PF_Types.h"
#include "host/SP_Basic.h"

#endif
