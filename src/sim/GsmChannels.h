#pragma once

// GSM 900 / DCS 1800 channel arithmetic shared by the simulated handset and instruments.
namespace sim {

constexpr int BAND_GSM = 2;  // the station's band codes
constexpr int BAND_DCS = 3;

// Sub-band of an ARFCN as the handset's APC tables are organised: GSM 1 (0-55), 2 (56-100),
// 3 (101-124), 4 (E-GSM 975-1023); DCS 1 (512-631), 2 (632-751), 3 (752-885). 0 = no channel.
int SubBandOf(int arfcn);
int BandOf(int arfcn);  // BAND_GSM, BAND_DCS or 0
bool ValidArfcn(int arfcn);
double UplinkMHz(int arfcn);    // handset transmit frequency; 0 for no channel
double DownlinkMHz(int arfcn);  // handset receive frequency; 0 for no channel

}  // namespace sim
