#pragma once
// The work a thumbnail-loader thread does: the album's job queue and
// loading, installed into the loader from above (the album owns the jobs,
// the render window owns the threads).

class ILoaderWork {
public:
  // Called on the loader thread over and over while it runs: takes and does
  // at most one job; false when there was none, and the loader then waits
  // until it is woken or 100 ms have passed.
  virtual bool RunOneJob() = 0;

protected:
  ~ILoaderWork() = default;
};
