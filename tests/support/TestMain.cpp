// The entry point of every test program: COM and the common controls as the program has
// them, and message boxes recorded instead of shown.
#include <gtest/gtest.h>
#include <objbase.h>
#include <commctrl.h>

#include "TestSupport.h"
#include "framework/Dialogs.h"

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  SetMessageBoxHook([](const MessageBoxCall& call) {
    auto& record = testing_support::MessageBoxes();
    record.Calls.push_back(call);
    if (record.WhileShown) record.WhileShown(call);
    int answer = IDOK;
    if (!record.Answers.empty()) {
      answer = record.Answers.front();
      record.Answers.erase(record.Answers.begin());
    } else if (record.NextAnswer != 0) {
      answer = record.NextAnswer;
      record.NextAnswer = 0;
    }
    return answer;
  });
  testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  CoUninitialize();
  return rc;
}
