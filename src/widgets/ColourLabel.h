#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <QUrl>

// The station's colour label: text and background colours, font face, height and weight,
// text that flashes on a 500 ms timer, and an optional hyperlink opened with the desktop's
// "open" action when clicked. Screen readers get the shown text as name and value.
class ColourLabel : public QLabel {
  Q_OBJECT

 public:
  static constexpr int FLASH_PERIOD_MS = 500;

  explicit ColourLabel(QWidget* parent = nullptr);

  void SetText(const QString& text);
  void SetTextColour(const QColor& colour);
  void SetBackgroundColour(const QColor& colour);
  // Height in pixels, as a window font's height is given.
  void SetFont(const QString& face, int heightPx, bool bold);
  void SetFontHeight(int heightPx);
  void SetFontBold(bool bold);
  void SetFlashing(bool on);      // text shown and hidden every 500 ms
  void SetLink(const QUrl& url);  // empty: no link

  QString Text() const { return text_; }
  QColor TextColour() const { return text_colour_; }
  QColor BackgroundColour() const { return background_; }
  bool Flashing() const { return flash_timer_.isActive(); }
  bool TextShown() const { return shown_; }
  QUrl Link() const { return link_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Refresh();

  QString text_;
  QColor text_colour_{0, 0, 0};
  QColor background_{Qt::transparent};
  QUrl link_;
  QTimer flash_timer_;
  bool shown_ = true;
};
