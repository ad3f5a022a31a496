// AcqBase: the library's instance, its language library (string table) and
// the resource procedures the host calls to load and unload it.
#pragma once

#include <string>

#include "host/sys/RunTime.h"

namespace acq::AcqBase {

// The library's own instance; set by the library entry before any body runs.
void SetInstance(HINSTANCE instance);
HINSTANCE Instance();
// The language library once loaded, the library itself before.
HINSTANCE ResourceInstance();
// String `id` of the module's string table: "Caption|Text"; "" when absent.
std::string LoadStr(int id);
// Only the text after the caption's bar.
std::string LoadStrText(int id);

void Body();

}  // namespace acq::AcqBase
