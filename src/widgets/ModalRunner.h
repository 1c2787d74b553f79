#pragma once

#include <QString>

class QDialog;
class QWidget;

// Runs the station's modal dialogs (RF configuration, EEPROM reset, About, result boxes, file
// and print dialogs). The program execs them; tests answer them through their controls instead,
// so nothing ever waits for a click.
class ModalRunner {
 public:
  virtual ~ModalRunner() = default;
  virtual int Run(QDialog& dialog);  // exec()
  // The document's file dialogs; an empty name when cancelled.
  virtual QString ChooseFile(QWidget* parent, bool forSaving);
};
