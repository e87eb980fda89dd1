// A stand-in engine header for the test that the layer check catches an include reaching upwards.

#pragma once

#include "platform/Clock.h"
