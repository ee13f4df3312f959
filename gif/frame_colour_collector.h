#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "gif/colour_index_map.h"

/// @file
/// The colours of the frame optimiser's finished frames, listed while the
/// frames after them are composed.

struct TOptimizedFrame;

/// Runs collectColours on each frame it is given: large ones on a thread of
/// its own where it has one, others at once on the caller's. With a thread
/// of its own, once the clip's colours outgrow one table, large frames of
/// many colours are also coded with tables of their own (codeWithOwnTable),
/// which they will most likely need; whichever thread is free does it. The
/// pixel buffers of collected frames are kept for the frames to come, so
/// that their pages are touched once rather than once a frame.
class TFrameColourCollector {
public:
    /// At most this many frames wait for their colours; add() collects the
    /// next ones itself until there is room.
    static constexpr std::size_t kWaiting = 4;
    /// Frames of fewer pixels are collected at once: handing them over
    /// would cost more than it saves.
    static constexpr std::size_t kHandedOver = 32768;

    /// With @p ownThread, a thread of its own that collects the large
    /// frames; without, every frame is collected at once.
    explicit TFrameColourCollector(bool ownThread);
    /// Stops after the frame being collected; frames still waiting are left.
    ~TFrameColourCollector();
    TFrameColourCollector(const TFrameColourCollector&) = delete;
    TFrameColourCollector& operator=(const TFrameColourCollector&) = delete;

    /// A buffer of @p size pixels for a frame, holding whatever it held.
    std::vector<std::uint32_t> buffer(std::size_t size);
    /// Lists the frame's colours, now or soon, and takes its pixels. The
    /// frame's colours, ids and counts are not to be touched until finish().
    void add(TOptimizedFrame* frame);
    /// Collects the frames still waiting and waits for the one being
    /// collected, so that every frame added is done. The first fault a
    /// frame raised (EGIFError) is raised here, by this call and every later
    /// one.
    void finish();

private:
    void run();
    void collect(TOptimizedFrame* frame, bool mayCodeAhead);
    bool outgrowsTable(const TOptimizedFrame& frame);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TOptimizedFrame*> waiting_;  // oldest first
    bool collecting_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::vector<std::vector<std::uint32_t>> spare_;
    TColourIndexMap drawn_;  // colours frames draw, until they outgrow a table
    bool outgrown_ = false;
    std::thread worker_;
};
