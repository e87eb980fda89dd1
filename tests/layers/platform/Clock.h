// A stand-in platform header that includes one from a layer above it, which the layer check must report.

#pragma once

#include "engine/Run.h"
