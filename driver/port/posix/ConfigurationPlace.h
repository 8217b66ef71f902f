#pragma once
// The configuration file's place on this system: ChooseConfigurationPath fed with what the file
// system and the environment say.

#include <string>

namespace zel {

// `programDir`: the folder of the running program.
std::string ConfigurationPathOnThisSystem(const std::string& programDir);

}  // namespace zel
