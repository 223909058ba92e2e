// Test main of every suite: runs GoogleTest with the message-box catcher on, and
// fails the run when a test leaves a captured box that it did not check. Code
// under test keeps its log file under a scratch folder of this process, never
// in the user's own local application data folder.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/local_app_data.h"
#include "tests/support/message_box_catcher.h"

namespace {

bool UnexpectedBoxSeen = false;

class UncheckedBoxListener : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& test) override
    {
        for (const CapturedBox& box : TakeCapturedBoxes()) {
            UnexpectedBoxSeen = true;
            std::printf("UNCHECKED MESSAGE BOX after %s.%s: [%ls] %ls\n", test.test_suite_name(),
                        test.name(), box.caption.c_str(), box.text.c_str());
        }
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    StandInForLocalAppData();
    StartMessageBoxCatcher();
    testing::UnitTest::GetInstance()->listeners().Append(new UncheckedBoxListener);
    int result = RUN_ALL_TESTS();
    StopMessageBoxCatcher();
    RemoveLocalAppDataStandIn();
    return result != 0 || UnexpectedBoxSeen ? 1 : 0;
}
