// The real registry behind IRawRegistry (Windows builds only).
#pragma once

#include "platform/raw_registry.h"

namespace velto {

// The machine's registry, shared by the whole process.
IRawRegistry& SystemRegistry();

}  // namespace velto
