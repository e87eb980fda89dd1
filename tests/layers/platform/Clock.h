#pragma once

#include "engine/Run.h"
