// SPDX-License-Identifier: Apache-2.0
// Loader of the raw boot image into BootImage.
#pragma once

// Loads the file at `path` whole into BootImage (cleared first, so every byte
// past the image reads as zero) and records its length. An image must be
// shorter than 262,144 bytes. Returns 0, or -1 after printing why.
int ReadBootImage(const char* path);
