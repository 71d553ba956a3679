#pragma once
// Everything the program's windows need before the first one is made: the classes their
// layouts name and the compiled-in layouts and artwork. Safe to call more than once.
void RegisterApplication();

// The entry's steps up to the message loop: the application's title, then the four windows
// in their order (main window, camera selection, settings, about) into their globals.
void CreateApplicationForms();
