#pragma once

// Animations: the animated image list and its frame cache.
#include "gif/animated_image_list.h"
#include "gif/bitmap_list.h"
#include "gif/frame_comment.h"
#include "gif/gif_errors.h"
