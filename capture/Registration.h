#pragma once
// The capture component and the framework's classes below it, so that layouts can name them.
namespace Capture {

// Safe to call more than once.
void RegisterAll();

}  // namespace Capture
