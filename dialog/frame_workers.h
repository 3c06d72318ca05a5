// Per-frame work of a build spread over the machine's cores. Frames are
// independent in the stages that use this, so workers take them in order
// from a shared counter; the calling thread alone talks to the host, telling
// it about frame i once every frame before i is done, exactly as a run on
// one thread would.
#pragma once

#include <functional>

// How many threads a build's per-frame stages use: the environment variable
// LUMAFEX_THREADS when it holds a whole number of at least 1, else one per
// core; never fewer than 1.
int FrameThreads();

// Work on one frame; false stops the stage.
using FrameJob = std::function<bool(int frame)>;

// Makes one worker's job; all that a worker needs for itself lives in the
// job, which is made and destroyed on the worker's own thread.
using FrameJobMaker = std::function<FrameJob()>;

// Runs a job made by makeJob for frames 0..count-1 on up to threads threads
// (fewer when there are fewer frames, or when a thread cannot be started;
// with one, everything runs on the calling thread). before(i) is called on
// the calling thread, in order, before frame i's result is awaited. Once a
// job fails no frame after it starts; frames already started finish, and
// before is not called beyond the first failed frame. Returns whether every
// frame succeeded.
bool RunFrameJobs(int count, int threads, const FrameJobMaker& makeJob, const std::function<void(int frame)>& before);
