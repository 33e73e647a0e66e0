#pragma once
// CBandedWork: a loop over independent bands of units (rows, mostly) that
// the helper threads run side by side. Each band's work depends on its own
// units alone, so the result is the same whichever thread ran a band and
// however many ran; bands that a cancel of the algorithm thread's job skips
// are run afterwards on the calling thread, so the loop always covers every
// unit (a body that should stop at a cancel tests for it itself). With
// several bands, progress counts finished bands through SetProgress: nest
// the object in its caller (NestIn) to map it into the caller's range.

#include <cstdint>
#include <functional>
#include <memory>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

class CBandedWork : public CAlgorithm {
public:
  // body(from, to) does units [from, to); 1 or 0.
  using Body = std::function<int(std::int64_t from, std::int64_t to)>;

  // Runs body over [0, count) in bands of bandSize units on the helper
  // threads when parallel is set, the engine has helpers, parallel work is
  // allowed up the parent chain and there is more than one band; otherwise
  // as one call body(0, count) here. 1 when every call returned nonzero
  // (also for a count of 0); 0 as well when memory is exhausted.
  [[nodiscard]] int Run(std::int64_t count, std::int64_t bandSize, bool parallel, const Body& body);

  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // Every band "stripe" is a token image: the body works on its caller's
  // pictures, and nothing is merged (there is no target).
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;

private:
  const Body* m_body = nullptr;
  std::int64_t m_bandSize = 1;
  CBgraImage16 m_token;
  std::unique_ptr<std::uint8_t[]> m_ran;  // a nonzero byte for each band run
};
