// Where the control finds an engine module: the settings file beside the
// control's own module names one per connection type. Any thread.
#pragma once

#include <string>

// The folder of the control's own module, ending in '/'; empty when unknown.
std::string ControlFolder();

// The module of a connection type ("Virtual", "TN3270", "TN5250", "HTTP",
// compared without regard to case) as the settings file in folder names it,
// with folder put in front of a result that is not a path. An unknown type
// gives the folder alone.
std::string ModulePathIn(const std::string& folder, const std::string& connType);

// ModulePathIn for the control's own folder.
void GetModulePath(const std::string& connType, std::string& path);
