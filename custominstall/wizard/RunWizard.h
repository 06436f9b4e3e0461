// The wizard as a program: what VB7350CustomInstall does when started without --batch.
#pragma once

#include <span>
#include <string_view>

/// Creates the application, runs the wizard until it ends and returns the exit code
/// (0 also after Cancel: nothing was asked to be written).
int RunWizard(int argc, char** argv);

/// True when the arguments open the wizard: none, or only Qt's own options (-platform
/// offscreen, -style=fusion, -reverse, ...). Any other argument is for the command line.
bool IsWizardCommandLine(std::span<const std::string_view> args);
