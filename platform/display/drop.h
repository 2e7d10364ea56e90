#pragma once
// A host file dropped on the device's window: a movie opens as a tap on it
// in the device's file explorer opens it, a skin package is put into
// \My Documents where the player's skin list finds it.

#include <string>

namespace display {

// Handles the drop; answers what happened, in a line for the user.
// False when the file was refused or could not be handled.
bool dropHostFile(const std::string& hostPath, std::string& said);

}  // namespace display
