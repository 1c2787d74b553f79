#pragma once

#include <QString>

#include "platform/Notifier.h"

// The station's message boxes: a plain OK box captioned with the application title.
inline constexpr const char* APPLICATION_TITLE = "Product Line Test SW V1.6";

class QWidget;

class MessageBoxNotifier : public Notifier {
 public:
  void Message(const std::string& text) override;
};

// The same box, for the Qt side's own messages.
void ShowStationMessage(QWidget* parent, const QString& text);
