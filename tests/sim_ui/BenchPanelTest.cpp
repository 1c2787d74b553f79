// The bench panel's wiring, offscreen: its controls reach the bench through BenchControls and
// it shows what the bench's snapshot says.
#include "sim/bench/ui/BenchPanel.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QValidator>
#include <functional>

#include "sim/Bench.h"
#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"

namespace {

struct PanelWorld {
  PanelWorld()
      : bench(7, [this] { return loop.Now(); }), context{loop, bench, 7, nullptr, nullptr, {}, {}} {
    context.watch = [this](int, std::function<void()> onReadable) {
      on_readable = std::move(onReadable);
    };
    context.unwatch = [this](int) { on_readable = nullptr; };
    scanner.codes = {"from-the-command-line"};
    context.scanner = &scanner;
    controls = std::make_unique<BenchControls>(context, nullptr);
  }
  void BenchThreadWakes() {
    ASSERT_TRUE(on_readable);
    on_readable();
  }

  SimLoop loop;
  sim::Bench bench;
  sim::ScannerModel scanner{7};
  BenchContext context;
  std::function<void()> on_readable;
  std::unique_ptr<BenchControls> controls;
};

TEST(BenchPanel, TheScannersNextCodeIsTypedAndShown) {
  PanelWorld w;
  w.controls->Refresh();
  BenchPanel panel(*w.controls);
  panel.show();
  auto* group = panel.findChild<QGroupBox*>("scanner");
  auto* code = panel.findChild<QLineEdit*>("scanner_code");
  auto* set = panel.findChild<QPushButton*>("scanner_set");
  auto* next = panel.findChild<QLabel*>("scanner_next");
  ASSERT_TRUE(group && code && set && next);
  EXPECT_TRUE(group->isVisible());
  EXPECT_EQ(next->text(), "Reads next: from-the-command-line");

  // Enter in the field.
  QTest::keyClicks(code, "350000001234565");
  QTest::keyClick(code, Qt::Key_Return);
  EXPECT_EQ(code->text(), "");
  w.BenchThreadWakes();
  panel.Refresh();
  EXPECT_EQ(next->text(), "Reads next: 350000001234565");
  EXPECT_EQ(w.scanner.NextCode(), "350000001234565");

  // "Set", replacing the code not yet read.
  QTest::keyClicks(code, "G10000001234565");
  QTest::mouseClick(set, Qt::LeftButton);
  w.BenchThreadWakes();
  EXPECT_EQ(w.scanner.TakeCode(), "G10000001234565");
  EXPECT_EQ(w.scanner.TakeCode(), "from-the-command-line");

  // An empty field sets nothing; what a barcode cannot carry is not typed in.
  QTest::mouseClick(set, Qt::LeftButton);
  w.BenchThreadWakes();
  EXPECT_TRUE(w.scanner.codes.empty());
  QString accented = QString::fromUtf8("35\xC3\xA9");
  int at = 0;
  EXPECT_EQ(code->validator()->validate(accented, at), QValidator::Invalid);
}

TEST(BenchPanel, TheScannerGroupStaysHiddenWithoutAScanner) {
  PanelWorld w;
  w.context.scanner = nullptr;
  w.controls->Refresh();
  BenchPanel panel(*w.controls);
  panel.show();
  auto* group = panel.findChild<QGroupBox*>("scanner");
  ASSERT_NE(group, nullptr);
  EXPECT_FALSE(group->isVisible());
}

}  // namespace
