#pragma once

#include <libimagequant.h>

#include <string>
#include <vector>

#include "bench/psnr.h"

// The programs a user would pick for the same job: ImageMagick's convert as
// a process, and libimagequant through its C API.

// Runs a program with arguments and waits for it; false unless it ran and
// exited with 0.
bool runProcess(const std::vector<std::string>& argv);

// convert in.bmp -dither FloydSteinberg -colors 256 out.bmp
bool imageMagickDither(const std::string& in, const std::string& out);
// convert in.bmp out.bmp: starting the process, reading and writing only.
bool imageMagickCopy(const std::string& in, const std::string& out);

// R, G, B, A bytes, top row first, as libimagequant takes them.
std::vector<unsigned char> rgbaOf(const RgbImage& image);

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> indices;
    liq_palette palette{};
};

// A 256-colour palette by libimagequant's defaults (speed 4 unless given),
// remapped with full Floyd-Steinberg dithering.
IndexedImage libImageQuantDither(const std::vector<unsigned char>& rgba, int width, int height, int speed = 4);
RgbImage rgbOf(const IndexedImage& image);
