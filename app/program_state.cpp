#include "app/program_state.h"

BootImageData BootImage{};
InfoBlockData InfoBlock{};
InfoSettingsData InfoSettings{kDefaultInfoAddr, {}, {}, {}, {}};

void ResetInfoSettings() {
  InfoSettings = InfoSettingsData{kDefaultInfoAddr, {}, {}, {}, {}};
}
