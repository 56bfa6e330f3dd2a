#pragma once

// What the driver reads of a process from outside through Windows: a fine clock, memory peaks.

#include <windows.h>

namespace hanamizu::bench {

// Milliseconds on the performance counter: finer than the tick count, for the driver's own times.
double NowMs();

// When the process was created, in milliseconds on the system clock (Wine's server sets it).
double CreationMs(HANDLE process);

struct MemoryPeaks {
  unsigned long long working_set_kib = 0;
  unsigned long long peak_working_set_kib = 0;
  unsigned long long peak_pagefile_kib = 0;
};
MemoryPeaks Memory(HANDLE process);

}  // namespace hanamizu::bench
