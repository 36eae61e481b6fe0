#include "module/module_state.h"

#include "chooser/chooser_texts.h"
#include "registry/win32_registry.h"
#include "text/system_code_page.h"

namespace instdll {

ModuleState::ModuleState()
    : chooserMask(kChooserMask),
      registry(SystemRegistry()),
      components(registry, SystemCodePage(), machineState) {}

namespace {
ModuleState state;
}  // namespace

ModuleState& Module() { return state; }

}  // namespace instdll
