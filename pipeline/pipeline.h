// SPDX-License-Identifier: Apache-2.0
// The steps that build a signed secure boot image, shared by every tool that
// makes one: Ravelsign with the key from the information file, Ravelhsm with
// a token or a signature made elsewhere.
#pragma once

#include "infoblock/info_image.h"
#include "infofile/info_file.h"

struct ImageRequest {
  const char* infoPath;
  const char* bootPath;
  SecretEcho secrets;  // Hidden: the secrets are neither echoed nor kept
  InfoSigner signer;
  const char* signFailure;  // the summary line when MakeInfoImage fails
  bool writeImage;          // false: stop once the INFO block is signed
  const char* otherInput;   // a further input that the output must not replace, or nullptr
};

// Clears the INFO block and the settings, loads and marks the boot image,
// derives the output name, reads the information file, fills, hashes and
// signs the INFO block and writes image, INFO block and end-of-file record as
// Intel HEX beside the boot image. Each failed step prints its message and the
// summary line. Returns 0, or -1 when the run stopped.
int BuildSecureBootImage(const ImageRequest& request);
