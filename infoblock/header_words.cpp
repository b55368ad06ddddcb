// SPDX-License-Identifier: Apache-2.0
#include "infoblock/header_words.h"

#include "core/program_state.h"

void WriteImageHeaderWords() {
  const std::uint32_t magic = GetLe32(kHeaderMagic, 0);
  const std::uint32_t infoAddr = InfoSettings.INFO_ADDR;
  PutLe32(BootImage.bytes, kHeaderMagicOffset, magic);
  PutLe32(BootImage.bytes, kHeaderInfoAddrOffset, infoAddr);
  PutLe32(BootImage.bytes, kHeaderReservedOffset, 0);
  // The boot code accepts the image when magic + check word == INFO address.
  PutLe32(BootImage.bytes, kHeaderCheckOffset, infoAddr - magic);
}
