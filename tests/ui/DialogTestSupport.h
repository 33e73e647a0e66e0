#pragma once
// For the dialog tests: a headless window large enough for every dialog,
// templates of the test's own, and the end of a script checked.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/DialogScript.h"
#include "ui/DialogSprite.h"
#include "ui/UIResources.h"

class DialogFixture : public WidgetFixture {
public:
  DialogFixture() : WidgetFixture({1024, 768}) {}

  // Adds templates written in the data folder's format.
  static void AddTemplates(std::string_view text) {
    std::string error;
    ASSERT_TRUE(UIResources().dialogTemplates.Parse(text, "test", error)) << error;
  }
  static void ExpectAnswered(const CDialogScript& script) {
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
    EXPECT_EQ(script.Pending(), 0u);
  }
};
