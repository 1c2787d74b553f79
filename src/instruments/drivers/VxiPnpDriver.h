#pragma once

#include <string>

#include "platform/visa/VisaTypes.h"

// The operations every maker's instrument driver offers (VXIplug&play): a 32-bit status (0 ok,
// negative error, positive warning), the VISA session as handle, 256-byte text buffers.
constexpr int DRIVER_TEXT_SIZE = 256;

constexpr ViStatus VI_ERROR_PARAMETER5 = static_cast<ViStatus>(0xBFFC0005);
constexpr ViStatus VI_ERROR_PARAMETER6 = static_cast<ViStatus>(0xBFFC0006);

class VxiPnpDriver {
 public:
  virtual ~VxiPnpDriver() = default;
  // Opens the resource, checks the identity when idQuery and resets when reset. On an identity
  // or reset failure the session is still handed back with the negative status so the caller
  // can ask for the message and close it; a resource that cannot be opened gives handle 0.
  virtual ViStatus Init(const char* resource, ViBoolean idQuery, ViBoolean reset,
                        ViSession* vi) = 0;
  virtual ViStatus Close(ViSession vi) = 0;
  virtual ViStatus Reset(ViSession vi) = 0;
  // The first entry of the instrument's error queue (the one an operation found, if any).
  virtual ViStatus ErrorQuery(ViSession vi, ViInt32* code, char* text) = 0;
  // The driver's text for a status; needs no open session.
  virtual ViStatus ErrorMessage(ViSession vi, ViStatus status, char* text) = 0;
  virtual ViStatus Clear(ViSession vi) = 0;
  // The identity the instrument gave at init ("" when not asked or not known).
  virtual std::string Identity(ViSession) { return {}; }
};
