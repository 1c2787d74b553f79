#pragma once

#include <QWidget>

// The start-up picture, drawn by the program itself: the station's name, what it does and its
// version over a stylised burst of the two bands.
class SplashWindow : public QWidget {
  Q_OBJECT

 public:
  explicit SplashWindow(QWidget* parent = nullptr);

  // Shows the picture and keeps it painted for ms (no input is taken meanwhile).
  void ShowFor(int ms);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
