// SPDX-License-Identifier: Apache-2.0
// Shared set-up for the fuzz targets: a private scratch directory and standard
// output sent to /dev/null, so that the console lines cost nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzsupport {

// The scratch directory, created once per process.
const std::string& ScratchDir();

// Replaces `path` with the given bytes.
void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// Sends standard output to /dev/null for the rest of the process.
void SilenceStdout();

}  // namespace fuzzsupport
