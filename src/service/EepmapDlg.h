#pragma once

#include "service/EepromMap.h"
#include "widgets/ToolWindow.h"

class QListWidget;

// "EEPROM MAP": the first 2560 bytes of the handset's EEPROM, one list line per byte, over
// EepromMap. Bytes are shown as Latin-1 characters, as the file holds them.
class CEepmapDlg : public ToolWindow, private EepromMapView {
  Q_OBJECT

 public:
  enum ControlIdent { ID_LIST = 1301, ID_READ = 1302, ID_CLEAR = 1303, ID_OK = 1 };

  explicit CEepmapDlg(StationContext& context);

  EepromMap& Logic() { return logic_; }
  QListWidget* List() const { return list_; }

 protected:
  void TakePort() override { logic_.TakePort(); }

 private:
  void InsertLine(int position, const std::string& text) override;
  void ClearLines() override;

  QListWidget* list_ = nullptr;
  EepromMap logic_;
};

ToolWindow* CreateEepmapDlg(StationContext& context);
