#pragma once
// Everything the program's windows need before the first one is made: the classes their
// layouts name and the compiled-in layouts and artwork. Safe to call more than once.
void RegisterApplication();
