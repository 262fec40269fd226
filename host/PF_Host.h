/// Everything the module knows of its host, in one include.
#ifndef QUORVEL_HOST_PF_HOST_H
#define QUORVEL_HOST_PF_HOST_H

#include "DRAWBOT_Suites.h"
#include "PF_Effect.h"
#include "PF_Event.h"
#include "PF_Suites.h"
#include "PF_Types.h"
#include "SP_Basic.h"

#endif
