/// The host's function tables: what AcquireSuite hands out, and the basic
/// suite and in-data callbacks. Each entry forwards to the Host that is
/// running the current command on this thread.
#pragma once

#include <map>

#include "host/PF_Host.h"
#include "simhost/FaultPlan.h"

namespace quorvel::sim {

const SPBasicSuite* BasicSuiteTable();
const PF_UtilCallbacks* UtilCallbacksTable();
/// Sets every callback of the table; reserved members are left as they are.
void FillInteractCallbacks(PF_InteractCallbacks& inter);
void FillEventCallbacks(PF_EventCallbacks& cbs, void* refcon);

/// Every suite the host provides, by (name, version).
const std::map<SuiteKey, const void*>& SuiteTables();

}  // namespace quorvel::sim
