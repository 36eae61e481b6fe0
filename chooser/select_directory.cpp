#include "chooser/select_directory.h"

namespace instdll {

int SelectDirectory(ChooserLanguage, char*) { return 0; }

}  // namespace instdll
