#pragma once
// The skinned components and the framework's classes below them, so that layouts can name them.
namespace Skins {

// Safe to call more than once.
void RegisterAll();

}  // namespace Skins
