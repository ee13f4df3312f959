#pragma once

// Registers the peers' runs of the 24- to 8-bit job on the same pictures.
void registerPeerBenchmarks();
