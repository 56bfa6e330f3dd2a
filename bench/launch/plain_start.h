#pragma once

// The baseline: how long Wine takes to start the main-program stand-in with a plain
// CreateProcess, and the step of the clock that both sides of that figure read.

#include "bench_installation.h"

namespace hanamizu::bench {

// Milliseconds from just before CreateProcess to the stand-in's recorded start tick.
long long PlainStartMs(const BenchInstallation& installation);

// The steps GetTickCount64 takes, watched for half a second.
struct TickSteps {
  double min_ms = 0;
  double median_ms = 0;
};
TickSteps MeasureTickSteps();

}  // namespace hanamizu::bench
