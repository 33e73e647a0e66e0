#include "tests/document/EveryPixelBlockFailure.h"

#include <gtest/gtest.h>

#include "document/BFDoc.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/document/DocumentState.h"

void ExpectEveryPixelBlockFailureLeavesDocument(CBFDoc& doc, const std::function<int(CBFDoc&)>& operation,
                                                std::int64_t minimumBlocks) {
  CBFDoc expected;
  ASSERT_TRUE(expected.CopyFrom(doc));
  std::int64_t needed = 0;
  {
    PixelBlockFailure counting(-1);
    ASSERT_EQ(operation(expected), 1);
    needed = counting.Requested();
  }
  ASSERT_GE(needed, minimumBlocks);

  const DocumentState before(doc);
  ASSERT_TRUE(before.Taken());
  for (std::int64_t allowed = 0; allowed < needed; ++allowed) {
    SCOPED_TRACE(testing::Message() << "pixel block " << allowed << " of " << needed << " fails");
    {
      PixelBlockFailure failure(allowed);
      ASSERT_EQ(operation(doc), 0);
    }
    ASSERT_TRUE(before.Matches(doc));
  }
  ASSERT_EQ(operation(doc), 1) << "and with memory it succeeds";
  EXPECT_TRUE(SameContent(doc, expected));
}
