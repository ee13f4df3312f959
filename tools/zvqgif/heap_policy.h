// How zvqgif's heap grows: pictures and frames of a megabyte come and go, and
// fresh pages cost more to fault in than the work done on them.
#pragma once

// Keeps freed blocks for the next pictures, rather than handing them back to
// the system, and lets the heap grow in huge pages where the system offers
// them. Call first thing in main, before any thread starts.
void setUpHeap();
