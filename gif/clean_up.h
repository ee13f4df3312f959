#pragma once

/// @file
/// Clean-up that runs whether an action succeeds or throws.

/// Runs `action`, then `after`, also when `action` throws (the exception then
/// goes on).
template <typename Action, typename After>
void withCleanUp(Action action, After after) {
    try {
        action();
    } catch (...) {
        after();
        throw;
    }
    after();
}
