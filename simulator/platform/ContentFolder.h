// Where the simulator's stream content (the elementary-stream clips) lies: the folder
// "content" beside the module that runs this code (the filter DLL, or the program that
// links the control library), else beside the registered filter DLL.
#pragma once

#include <string>

namespace tunersim {

// UTF-8 path without a trailing separator; throws Error when no such folder exists.
std::string ContentFolder();

}  // namespace tunersim
