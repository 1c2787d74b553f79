#pragma once

#include "platform/visa/VisaTypes.h"

// Power-supply session and operations (66311B, E3631A, E3632A/E3633A).

bool OpenSupply();
void CloseSupply();
void CheckSupplyStatus(ViSession handle, ViStatus status);

void SetSupplyOutput(double volts, double amps);
void SetSupplyNominal();  // 3.8 V, 3.0 A
void SetSupplyCharged();  // 4.18 V, 3.0 A
double ReadSupplyCurrent();
