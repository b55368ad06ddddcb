// SPDX-License-Identifier: Apache-2.0
// The steps that build a signed secure boot image, shared by every tool that
// makes one. A driver calls them in order:
//   1. prepare the INFO block: PrepareSecureBootImage (read, load, mark), and
//      for a tool that signs elsewhere PrepareInfoDigest (also fill and hash);
//   2. sign, in one of four ways: with the information file's key
//      (MakeInfoImage), with a token, with a signature made elsewhere
//      (AttachSignature), or not at all (Ravelhsm digest);
//   3. write the secure boot image: WriteSecureBootImage.
// A step that fails prints its own message and returns -1; the driver ends
// the run and prints its summary line, naming the step that stopped it
// (BuildStepSummary). No step prints a summary line.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/info_layout.h"
#include "infofile/info_file.h"
#include "pipeline/output_file.h"
#include "pipeline/output_name.h"

// The steps of a build that can stop the run.
enum class BuildStep : std::uint8_t { ReadBootImage, MakeOutputName, ParseInfoFile, MakeInfoImage };

// The summary line the driver prints when `step` stopped the run, after the
// step's own message: "Read boot image file failed!\n",
// "Parse information file failed!\n", "Make info image failed!\n"; empty for
// the output name, whose own message is the whole report.
const char* BuildStepSummary(BuildStep step);

// Clears the INFO block and the settings, loads and marks the boot image,
// derives the output name (when `outputName` is given), reads the
// information file, echoing its secrets as `secrets` says (when they are not
// shown they are wiped at once: such a tool signs elsewhere), and writes the
// header words. Returns 0, or -1 with `failed` set when the run stopped.
int PrepareSecureBootImage(const char* infoPath, const char* bootPath, SecretEcho secrets,
                           OutputName* outputName, BuildStep& failed);

// PrepareSecureBootImage for a tool that signs elsewhere, then fills and
// hashes the INFO block, giving the digest to sign. Returns 0, or -1 with
// `failed` set.
int PrepareInfoDigest(const char* infoPath, const char* bootPath, OutputName* outputName,
                      Sha256Digest& infoDigest, BuildStep& failed);

// Writes the boot image, the INFO block and the end-of-file record as Intel HEX
// to `outputName`, never over one of `inputs` (null entries are skipped),
// and prints "Output secure boot image: <name>". Returns 0 or -1.
// The companions' messages give the system's reason.
int WriteSecureBootImage(const OutputName& outputName, std::initializer_list<const char*> inputs,
                         FailureReason reason = FailureReason::Withheld);
