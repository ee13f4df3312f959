#pragma once

#include <cstdint>

// Calls of the global operator new (every form) since the program started;
// the benchmark program replaces the operator to count them.
std::uint64_t allocationCount();
