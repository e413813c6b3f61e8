// The native TreeOutput with a root given as the system's own bytes, so that
// a command line's path is used exactly as typed.
#pragma once

#include <memory>

#include "platform/tree_output.h"

std::unique_ptr<TreeOutput> OpenNativeTreeOutput(const char* root);
