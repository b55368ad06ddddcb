// SPDX-License-Identifier: Apache-2.0
// Ravelverify --json: the verdict of one verification as one JSON object on
// standard output, for release pipelines that gate on it and archive it.
// man/Ravelverify.1 documents the object; share/ravelsign/
// ravelverify.schema.json is its schema.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crypto/key_fingerprint.h"
#include "tools/verify/verify_image.h"

struct VerifyJsonInput {
  const VerifyReport* report;
  const char* infoPath;
  const char* hexPath;
  std::optional<KeyFingerprint> fingerprint;  // of the information file's public key
  std::string_view console;                   // what the run printed, to the summary line included
  std::string_view stepOutput;                // a stopped run's console before its summary
};

// The diagnostic that a failed step printed last, about the file at `path`:
// from the start of the line where its mention of `path` begins, so that a
// path with line ends in it is not cut.
std::string_view StepDiagnostic(std::string_view stepOutput, std::string_view path);

// The object and a line end, always valid JSON in UTF-8.
std::string VerifyJsonText(const VerifyJsonInput& input);

// Writes the object and a line end. Returns 0, or -1 when standard output
// could not take it.
int WriteVerifyJson(const VerifyJsonInput& input);
