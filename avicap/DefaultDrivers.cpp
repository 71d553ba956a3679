#include "avicap/DefaultDrivers.h"

#include "avicap/v4l2/V4l2Driver.h"

void installDefaultCaptureDrivers() { setCameraDriver(std::make_shared<V4l2Driver>()); }
