#include "instruments/TestSetBlocks.h"

#include "instruments/TestSet.h"
#include "instruments/TestSetCalls.h"

namespace {
const InstrumentState& S() {
  return Instruments();
}
}  // namespace

double UplinkFrequencyMHz(int n) {
  if (n >= 1 && n <= 124) return 890.0 + 0.2 * n;
  if (n >= 975 && n <= 1023) return 890.0 + 0.2 * (n - 1024);
  if (n >= 512 && n <= 885) return 1710.0 + 0.2 * (n - 511);
  return 0.0;
}

ViStatus CellBand8960(ViSession h) {
  return Driver8960().CellBand(h, 1, S().BandCode);
}
ViStatus Bch8960(ViSession h) {
  return Driver8960().BchChannel(h, 1, S().BchChannel, S().BandCode, 1);
}
ViStatus TchBand8960(ViSession h) {
  return Driver8960().TchBand(h, S().BandCode);
}
ViStatus PathLoss8960(ViSession h) {
  return Driver8960().PathLoss(h, S().PathLoss);
}
ViStatus CellPower8960(ViSession h) {
  return Driver8960().CellPower(h, 1, CELL_POWER_DBM, 0, 0);
}
ViStatus Tch8960(ViSession h) {
  return Driver8960().TchChannel(h, S().TchChannel, S().BandCode, 1);
}
ViStatus MsLevel8960(ViSession h) {
  const int32_t level = S().BandCode == BAND_DCS1800 ? S().MsPowerLevel - 100 : S().MsPowerLevel;
  return Driver8960().MsTxLevel(h, level, S().BandCode, 1);
}
ViStatus OperatingMode8960(ViSession h) {
  return Driver8960().OperatingMode(h, 0);
}

ViStatus PathLossTable4400(ViSession h) {
  return Driver4400().SetCoupling(h, PATH_LOSS_TABLE_4400, 1);
}
ViStatus PathLossTableOn4400(ViSession h) {
  return Driver4400().Write(h, ":CONF:COUP:STAT ON");
}
ViStatus CellLevel4400(ViSession h) {
  return Driver4400().Write(h, Format("%s%d", "CONF:GSM:BS:LEV ", -60).c_str());
}
ViStatus GeneratorLevel4400(ViSession h) {
  return Driver4400().Write(h, Format("%s%d", "RFG:LEV ", -60).c_str());
}
ViStatus AnalyserFrequency4400(ViSession h) {
  const double hz = UplinkFrequencyMHz(S().TchChannel) * 1000000.0;
  return Driver4400().Write(h, Format("RFAN:FREQ %f", hz).c_str());
}
ViStatus Tch4400(ViSession h) {
  return Driver4400().Write(h, Format("CONF:GSM:BS:TCH:ARFC %d", S().TchChannel).c_str());
}
