#include "low/Low.h"
#include "low/Low_pvt.h"
#include "Bare.h"
#include "high/Missing.h"
#include "side/Side.h"
#include <vector>
