// The wizard as a program: what VB7350CustomInstall does when started without --batch.
#pragma once

/// Creates the application, runs the wizard until it ends and returns the exit code
/// (0 also after Cancel: nothing was asked to be written).
int RunWizard(int argc, char** argv);
