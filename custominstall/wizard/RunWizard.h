// The wizard as a program: what VB7350CustomInstall does when started without --batch.
#pragma once

#include <optional>
#include <span>
#include <string_view>

/// What the wizard's command line holds: none but Qt's own options.
struct WizardCommandLine {
  bool platformGiven = false;  // -platform names where the windows go
};

/// The wizard's command line when the arguments open the wizard: none, or only Qt's own
/// options (-platform offscreen, -style=fusion, -reverse, ...); nullopt when any other
/// argument is there, which is then for the command line.
std::optional<WizardCommandLine> ReadWizardCommandLine(std::span<const std::string_view> args);

/// Creates the application, runs the wizard until it ends and returns the exit code
/// (0 also after Cancel: nothing was asked to be written).
int RunWizard(int argc, char** argv, const WizardCommandLine& line);
