// The input box driven as a user would: typed text ended with OK, Enter, Cancel, Escape or Close.
#include <gtest/gtest.h>

#include "framework/InputBox.h"

TEST(InputBox, OkAndEnterGiveTheTextCancelEscapeAndCloseKeepTheValue) {
  std::string value = "old";
  auto answer = [&](const std::string& text, const std::function<void(TInputQueryForm&)>& end) {
    TModalHookScope hook([&](TForm& form) {
      auto& box = dynamic_cast<TInputQueryForm&>(form);
      EXPECT_EQ(box.Caption() + "|" + box.Prompt->Caption() + "|" + box.Edit->Text(), "Enter|Name|" + value);
      box.Edit->SetText(text);
      end(box);
    });
    return InputQuery("Enter", "Name", value);
  };
  EXPECT_TRUE(answer("Before the driver", [](TInputQueryForm& b) { b.OkButton->Perform(BM_CLICK); }));
  EXPECT_EQ(value, "Before the driver");
  EXPECT_FALSE(answer("dropped", [](TInputQueryForm& b) { b.CancelButton->Perform(BM_CLICK); }));
  EXPECT_FALSE(answer("dropped", [](TInputQueryForm& b) { EXPECT_TRUE(b.HandleDialogKey(VK_ESCAPE)); }));
  EXPECT_FALSE(answer("dropped", [](TInputQueryForm& b) { b.Close(); }));
  EXPECT_EQ(value, "Before the driver");
  EXPECT_TRUE(answer("", [](TInputQueryForm& b) { EXPECT_TRUE(b.HandleDialogKey(VK_RETURN)); }));
  EXPECT_EQ(value, "");   // an empty text is an answer too
}
