// AcqEdiRsp: order responses: the message list (dialog 76), reading stored
// ORDRSP messages into response lines, the line list (dialog 77) and
// applying lines to PO line items through the activities.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqEdiRsp {

// The EDIFACT Order Responses command: opens the message list.
void OrderResponsesCommand(HWND owner);

}  // namespace acq::AcqEdiRsp
