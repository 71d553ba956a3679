#pragma once
// Program start-up: real cameras (V4L2) before the built-in test pattern.
void installDefaultCaptureDrivers();
