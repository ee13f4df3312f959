#pragma once

/// @file
/// Animations: the animated image list, its frame cache and the control that
/// plays it.
#include "gif/animated_image.h"
#include "gif/animated_image_list.h"
#include "gif/bitmap_list.h"
#include "gif/frame_comment.h"
#include "gif/gif_errors.h"
