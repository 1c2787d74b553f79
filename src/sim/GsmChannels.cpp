#include "sim/GsmChannels.h"

namespace sim {

int BandOf(int arfcn) {
  if ((arfcn >= 0 && arfcn <= 124) || (arfcn >= 975 && arfcn <= 1023)) return BAND_GSM;
  if (arfcn >= 512 && arfcn <= 885) return BAND_DCS;
  return 0;
}

bool ValidArfcn(int arfcn) {
  return BandOf(arfcn) != 0;
}

int SubBandOf(int arfcn) {
  if (arfcn >= 0 && arfcn <= 55) return 1;
  if (arfcn >= 56 && arfcn <= 100) return 2;
  if (arfcn >= 101 && arfcn <= 124) return 3;
  if (arfcn >= 975 && arfcn <= 1023) return 4;
  if (arfcn >= 512 && arfcn <= 631) return 1;
  if (arfcn >= 632 && arfcn <= 751) return 2;
  if (arfcn >= 752 && arfcn <= 885) return 3;
  return 0;
}

double UplinkMHz(int arfcn) {
  if (arfcn >= 0 && arfcn <= 124) return 890.0 + 0.2 * arfcn;
  if (arfcn >= 975 && arfcn <= 1023) return 890.0 + 0.2 * (arfcn - 1024);
  if (arfcn >= 512 && arfcn <= 885) return 1710.2 + 0.2 * (arfcn - 512);
  return 0.0;
}

double DownlinkMHz(int arfcn) {
  const double up = UplinkMHz(arfcn);
  if (up == 0.0) return 0.0;
  return up + (BandOf(arfcn) == BAND_DCS ? 95.0 : 45.0);
}

}  // namespace sim
