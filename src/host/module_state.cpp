#include "host/module_state.h"

namespace icofmt::host {

ModuleState& moduleState() {
  static ModuleState state;
  return state;
}

// The smaller sizes of the options form are the user's standing choice: they
// stay while the module stays loaded, as the carried module's PNG options do.
void resetModuleState() {
  std::vector<std::int32_t> sizes = std::move(moduleState().save.saveChoices.smallerSizes);
  moduleState() = ModuleState{};
  moduleState().save.saveChoices.smallerSizes = std::move(sizes);
}

}  // namespace icofmt::host
