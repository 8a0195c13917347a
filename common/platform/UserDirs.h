#pragma once
// Where the running program lies and the user's own folders and name: the
// one place that asks the operating system for them.
#include <string>

namespace orvex::platform {

// Folder of the running program (no trailing slash).
std::string programDirectory();
// The user's own folders for ORVEX's files: $XDG_CONFIG_HOME/orvex (default
// ~/.config/orvex), $XDG_DATA_HOME/orvex (default ~/.local/share/orvex) and
// $XDG_STATE_HOME/orvex (default ~/.local/state/orvex). A relative XDG value
// is ignored, as the XDG base directory rules say.
std::string userConfigFolder();
std::string userDataFolder();
std::string userStateFolder();
// The login name of the user the program runs as; "" when unknown.
std::string userName();

}  // namespace orvex::platform
