// Details of the X11 build's dialogs that tests look at.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// The toolkit chooser's filter text: one "description<TAB>pattern" line per
// filter. The chooser shows each pattern in brackets after its description, so
// a pattern the description already spells out in brackets is dropped there.
std::string ToolkitFilterText(const std::vector<FileFilter>& filters);
// The same list as FLTK's own chooser takes it: "description (pattern)"
// entries separated by tabs.
std::string ChooserFilterText(const std::vector<FileFilter>& filters);

}  // namespace platform
