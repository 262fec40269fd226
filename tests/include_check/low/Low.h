#pragma once
#include "low/Low_pvt.h"
