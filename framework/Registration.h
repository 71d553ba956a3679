#pragma once
// The framework's component classes, each on its palette page, so that layouts can name them.
namespace Framework {

// Safe to call more than once.
void RegisterAll();

}  // namespace Framework
