// stb_image's implementation, its GIF decoder only, built into the benchmark
// alone with its flags.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#include <stb/stb_image.h>
