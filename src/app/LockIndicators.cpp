#include "app/LockIndicators.h"

#include <QGuiApplication>
#include <QLabel>

#ifdef TESMIRA_HAVE_X11
#include <X11/XKBlib.h>

#include <QtGui/qguiapplication_platform.h>
#endif

namespace {
constexpr int REFRESH_MS = 250;

// Caps Lock, Num Lock and Scroll Lock as bits 0, 1 and 2; -1 when the display has no such
// indicators. Looked up by name: keymaps place them at different indices.
int IndicatorBits() {
#ifdef TESMIRA_HAVE_X11
  if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
    if (Display* display = x11->display()) {
      int bits = 0;
      const char* names[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
      for (int i = 0; i < 3; ++i) {
        const Atom atom = XInternAtom(display, names[i], True);
        Bool on = False;
        if (atom != None && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) &&
            on) {
          bits |= 1 << i;
        }
      }
      return bits;
    }
  }
#endif
  return -1;
}
}  // namespace

LockIndicators::LockIndicators(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent)
    : QObject(parent), caps_(caps), num_(num), scroll_(scroll) {
  if (!Available()) return;
  timer_.setInterval(REFRESH_MS);
  connect(&timer_, &QTimer::timeout, this, &LockIndicators::Refresh);
  timer_.start();
  Refresh();
}

bool LockIndicators::Available() {
  return IndicatorBits() >= 0;
}

void LockIndicators::Refresh() {
  const int bits = IndicatorBits();
  if (bits < 0) return;
  caps_->setText((bits & 1) ? QStringLiteral("CAP") : QString());
  num_->setText((bits & 2) ? QStringLiteral("NUM") : QString());
  scroll_->setText((bits & 4) ? QStringLiteral("SCRL") : QString());
}
