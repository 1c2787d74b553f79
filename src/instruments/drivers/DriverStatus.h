#pragma once

#include "platform/visa/VisaTypes.h"

// The stand-in drivers' text for a status: their own VXIplug&play statuses and the VISA ones.
// Unknown statuses give "Unknown status code" (and *known false).
const char* DriverStatusText(ViStatus status, bool* known = nullptr);
