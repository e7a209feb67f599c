#include "host/module_state.h"

namespace icofmt::host {

ModuleState& moduleState() {
  static ModuleState state;
  return state;
}

void resetModuleState() { moduleState() = ModuleState{}; }

}  // namespace icofmt::host
