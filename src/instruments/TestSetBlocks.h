#pragma once

#include "platform/visa/VisaTypes.h"

// The building blocks of the test-set operations: one driver call each, reading the shared
// working variables (band, channels, power level, path loss) at the moment they run.

constexpr double CELL_POWER_DBM = -60.0;
constexpr double CW_LEVEL_DBM = -74.5;
constexpr int CW_CHANNEL_GSM = 62;
constexpr int CW_CHANNEL_DCS = 698;
constexpr const char* PATH_LOSS_TABLE_4400 = "viable.cpl";

// 8960
ViStatus CellBand8960(ViSession h);
ViStatus Bch8960(ViSession h);
ViStatus TchBand8960(ViSession h);
ViStatus PathLoss8960(ViSession h);
ViStatus CellPower8960(ViSession h);
ViStatus Tch8960(ViSession h);
ViStatus MsLevel8960(ViSession h);  // DCS levels are held plus 100: the 100 comes off here
ViStatus OperatingMode8960(ViSession h);

// 4400
ViStatus PathLossTable4400(ViSession h);    // the tester's own loss table ...
ViStatus PathLossTableOn4400(ViSession h);  // ... and switching it on
ViStatus CellLevel4400(ViSession h);
ViStatus GeneratorLevel4400(ViSession h);
ViStatus AnalyserFrequency4400(ViSession h);
ViStatus Tch4400(ViSession h);
