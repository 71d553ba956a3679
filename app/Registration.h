#pragma once
// The program's start-up, in the entry's order: the devices its windows use, every class and
// compiled-in resource their layouts name, then the windows themselves.
#include <string>

// The display named by DISPLAY, the V4L2 cameras (before the test pattern) and the recorder
// with ALSA's default sound input. False, with a message for the user, when no display can
// be used; then nothing is installed.
bool InstallApplicationDevices(std::string& Error);

namespace App {

// The program's window classes, those of every folder below, and the compiled-in layouts and
// artwork. Safe to call more than once.
void RegisterAll();

}  // namespace App

// The entry's steps up to the message loop: the application's title, then the four windows
// in their order (main window, camera selection, settings, about) into their globals.
void CreateApplicationForms();
