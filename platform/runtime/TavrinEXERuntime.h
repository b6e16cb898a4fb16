#pragma once

#include "Boolean.h"
#include "PlatformError.h"

// The runtime's helper types, which the library keeps in its namespace Tavrin, as the engine's
// and the automation layer's namespace uses them.
namespace TavrinEXE {
using Tavrin::PlatformError;
using Tavrin::toVBool;
using Tavrin::variantToVBool;
using Tavrin::vbFalse;
using Tavrin::VBool;
using Tavrin::vboolVariant;
using Tavrin::vbTrue;
} // namespace TavrinEXE
