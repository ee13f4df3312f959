#pragma once

// Counts the calls of operator new while whole pictures are mapped row by
// row onto a palette whose cache is ready (and, for comparison, while it is
// filled, and over a full conversion), prints the counts, and returns false
// when a row conversion allocated.
bool runAllocationCheck();
