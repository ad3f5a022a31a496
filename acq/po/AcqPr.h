// AcqPr: purchase requests (titles asked for, with their own distribution
// of copies) and turning them into PO lines.
#pragma once

namespace acq::AcqPr {

// The purchase requests (251, prEdit asked by the caller) and their find
// window (252, prFind asked by the caller).
void OpenRequests();
void FindRequests();

void Initialize();
void Terminate();

}  // namespace acq::AcqPr
