#pragma once

#include "platform/visa/VisaTypes.h"

// Test-set session and the operations the calibration steps use. They read and write the
// shared variables of InstrumentState; every driver status goes to CheckTestSetStatus.

bool OpenTestSet();
void CloseTestSet();
void ResetTestSet();
void IdleTestSet();
void CheckTestSetStatus(ViSession handle, ViStatus status);

double UplinkFrequencyMHz(int arfcn);

bool StartCall();
void PrepareTxMeasurement();
void ConfigureTxCell();
void ApplyMsPowerLevel();
void ApplyPathLoss();  // 8960: hand PathLoss to the test set (path-loss building block)
void MeasureTxPower();
void ChangeTxChannel();
void ConfigureRxCell();
void ApplyRxPowerLevel();
void ChangeRxChannel();
void ReadRxLevel();
void StartCwGenerator();
void ConfigureCwGenerator();
void SetCwFrequency();
