#pragma once

// One launch with auto-update on against a local server that offers a newer package: the driver
// accepts the offer and times the launcher's own download of the package.

#include <string>

#include "bench_installation.h"

namespace hanamizu::bench {

struct DownloadSample {
  double download_ms = 0;     // OK on the offer → the package-ready box first seen
  double cpu_ms = 0;          // launcher CPU over the same span
  double server_cpu_ms = -1;  // the prefix's wineserver over it (-1: not found); it also serves
                              // the driver's polling
  unsigned long long package_bytes = 0;
  unsigned long long offer_peak_working_set_kib = 0;  // before the download
  unsigned long long peak_working_set_kib = 0;        // with the package-ready box up
  unsigned long long peak_pagefile_kib = 0;
  unsigned long long peak_rss_kib = 0;  // VmHWM of its Unix process, to check the one above
  double poll_median_ms = 0;
  bool package_started = false;  // the package's stand-in recorded its start
};

// base_url is the update address (ending in "/") that holds di04.dat; temp_dir (no trailing "\")
// becomes the launcher's TEMP and so its update directory.
DownloadSample MeasureUpdateDownload(const BenchInstallation& installation,
                                     const std::string& base_url, const std::string& temp_dir);

}  // namespace hanamizu::bench
