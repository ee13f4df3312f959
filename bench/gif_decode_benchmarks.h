#pragma once

// Registers GIF decoding to RGBA for every picture of the GIF corpus: ours
// (whole decode, and its LZW stage alone) beside Wuffs, giflib, stb_image
// and Qt's reader.
void registerGifDecodeBenchmarks();
