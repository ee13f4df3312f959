#pragma once

// The station's main window and its operations.
#include "app/main_window.h"
