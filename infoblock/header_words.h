// SPDX-License-Identifier: Apache-2.0
// The header words that mark the boot image and point to the INFO block.
#pragma once

// Writes the magic "Tqlx", INFO_ADDR, 0 and the check word (INFO_ADDR minus
// the magic read as a little-endian word) at 0x1C-0x2B of the boot image,
// whatever the boot image's length.
void WriteImageHeaderWords();
