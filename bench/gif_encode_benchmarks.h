#pragma once

#include <string>

// GIF encoding against other encoders: the LZW coder alone on the 8-bit
// pictures of the GIF corpus (gifenc_lzw_*), and whole files from the
// true-colour pictures (gifenc_*), ours with the median-cut palette and
// Floyd-Steinberg dithering and with the high-quality palette.
void registerGifEncodeBenchmarks();

// The bytes a benchmark's tool wrote for its picture on its last run, e.g.
// encodedBytes("gifenc_lzw_ours", "photo-1920x1080"): the image data alone
// for LZW, the whole file otherwise; negative when it did not run.
long long encodedBytes(const std::string& tool, const std::string& picture);
