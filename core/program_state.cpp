// SPDX-License-Identifier: Apache-2.0
#include "core/program_state.h"

BootImageData BootImage{};
InfoBlockData InfoBlock{};
InfoSettingsData InfoSettings{kDefaultInfoAddr, {}, {}, {}, {}, false};

void ResetInfoSettings() {
  InfoSettings = InfoSettingsData{kDefaultInfoAddr, {}, {}, {}, {}, false};
}

void ResetProgramState() {
  InfoBlock.fill(0);
  ResetInfoSettings();
}
