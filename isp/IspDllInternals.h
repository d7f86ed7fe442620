// Knobs of the library that the C interface does not show: tests shorten the
// answer timeout, the benchmark reads the report counter.
#pragma once

#include <cstdint>

#include "isp/IspLink.h"

namespace isp {

// Applies to connections made after the call.
void SetLinkSettingsForTesting(const LinkSettings& settings);
// Reports sent on the current connection (0 without one).
std::uint64_t ReportsSentOnConnection();

}  // namespace isp
