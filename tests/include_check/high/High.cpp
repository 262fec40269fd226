#include <vector>

#include "Bare.h"
#include "high/Missing.h"
#include "low/Low.h"
#include "low/Low_pvt.h"
#include "side/Side.h"
