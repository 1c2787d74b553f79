#include <gtest/gtest.h>

#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "support/GuiHelpers.h"
#include "widgets/LogEdit.h"

namespace {

TEST(LogEdit, AppendsLinesWithoutLeadingBreakAndShowsTheLast) {
  QWidget window;
  auto* log = new CLogEdit(&window);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(log);
  window.resize(300, 120);
  window.show();

  log->Append(QStringLiteral("se 5"));
  EXPECT_EQ(log->Text(), QStringLiteral("se 5"));
  log->Append(QStringLiteral("Target Resetted"));
  EXPECT_EQ(log->Text(), QStringLiteral("se 5\nTarget Resetted"));
  // A line with its own break (the template blocks) becomes two lines.
  log->Append(QStringLiteral("       1\r\n       2"));
  EXPECT_EQ(log->blockCount(), 4);

  for (int i = 0; i < 50; ++i) log->Append(QString::number(i));
  QApplication::processEvents();
  QScrollBar* bar = log->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum()) << "the last line is not in view";

  log->Clear();
  EXPECT_TRUE(log->Text().isEmpty());
  log->Append(QStringLiteral("after clear"));
  EXPECT_EQ(log->Text(), QStringLiteral("after clear"));
}

TEST(LogEdit, HandsTheFocusBackUnlessAllowed) {
  QWidget window;
  auto* line = new QLineEdit(&window);
  auto* log = new CLogEdit(&window);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(line);
  layout->addWidget(log);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  line->setFocus();
  ASSERT_TRUE(testsupport::ProcessUntil([&] { return line->hasFocus(); }, 2000));

  QTest::mouseClick(log->viewport(), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(line->hasFocus()) << "a click took the focus";

  log->setFocus(Qt::OtherFocusReason);
  QApplication::processEvents();
  EXPECT_TRUE(line->hasFocus()) << "the focus was not handed back";
  EXPECT_FALSE(log->hasFocus());

  log->SetFocusAllowed(true);
  log->setFocus(Qt::OtherFocusReason);
  QApplication::processEvents();
  EXPECT_TRUE(log->hasFocus());
}

}  // namespace
