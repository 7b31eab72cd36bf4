#pragma once

// Result and Expected live beside the platform layer, where every layer includes them.
#include "platform/Result.h"
