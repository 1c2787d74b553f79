// The service tools reached from the main frame's menu.

#include <gtest/gtest.h>

#include <QPointer>

#include "app/MainFrm.h"
#include "app/MenuTable.h"
#include "app/TesmiraDoc.h"
#include "app/ToolTable.h"
#include "platform/QtEventLoop.h"
#include "support/GuiHelpers.h"

namespace {

TEST(ServiceTools, MenuOpensEachWindowOnceAndItTakesThePort) {
  QtEventLoop loop;
  testsupport::RecordingNotifier notifier;
  testsupport::ScriptedModal modal;
  CTesmiraDoc doc{loop, &notifier};
  StationContext context{loop, doc.Comm(), notifier, modal};
  CMainFrame frame(doc, context, StationToolKinds());
  frame.show();

  struct Case {
    int command;
    const char* title;
  };
  for (const Case& c :
       {Case{ID_INPUT_WINDOW, "MANUAL CAL "}, Case{ID_MANUAL_RAMP, "GSM RAMP TABLE"}}) {
    SCOPED_TRACE(c.title);
    frame.OnCommand(c.command);
    QPointer<ToolWindow> window = frame.Tool(c.command);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QString::fromLatin1(c.title));
    EXPECT_NE(doc.Comm().Owner(), nullptr);
    frame.OnCommand(c.command);
    EXPECT_EQ(frame.Tool(c.command), window.data()) << "a second window of the kind";
    window->close();
    EXPECT_TRUE(testsupport::ProcessUntil([&] { return window.isNull(); }, 2000));
    EXPECT_EQ(doc.Comm().Owner(), nullptr);
  }
}

}  // namespace
