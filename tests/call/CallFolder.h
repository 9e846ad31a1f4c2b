// Menus of the call's tests: .ivr files with a wait time of their own, in the
// layout of the menu set's test folders.
#pragma once
#include <string>
#include <vector>

#include "common/MenuFolder.h"

// A .ivr file waiting seconds (0-99) for a key after its greeting (may be empty).
std::string IvrWaiting(int seconds, const char* greeting, const std::vector<IvrLine>& lines);
