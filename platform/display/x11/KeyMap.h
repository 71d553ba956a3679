#pragma once
// X keysyms to the virtual-key codes of the window layer. Xlib-free so that tests can use it.
// Answers 0 for keys the window layer does not know.
int virtualKeyFromKeysym(unsigned long keysym);
