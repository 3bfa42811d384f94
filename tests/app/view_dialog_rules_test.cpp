#include <gtest/gtest.h>

#include "dialogs/view_dialog_rules.h"

namespace sk720 {

TEST(ViewDialogRules, OffsetFieldReadsLeadingNumberAndKeepsThePreviousOtherwise) {
  EXPECT_EQ(parseOffsetField(u"-90", 5), -90);
  EXPECT_EQ(parseOffsetField(u"  +45deg", 5), 45);
  EXPECT_EQ(parseOffsetField(u"deg 45", 5), 5);
  EXPECT_EQ(parseOffsetField(u"", 7), 7);
  EXPECT_EQ(parseOffsetField(u"-", 7), 7);
  EXPECT_EQ(parseOffsetField(u"-2147483648", 7), -2147483648);
  EXPECT_EQ(parseOffsetField(u"2147483648", 7),
            7);  // beyond 32 bits: not a number in range
  EXPECT_EQ(parseOffsetField(u"99999999999999999999", 7), 7);
}

TEST(ViewDialogRules, DefaultsDifferFromStartupOnlyInContrast) {
  const ViewSettings d = viewDialogDefaults();
  const ViewSettings s;
  EXPECT_EQ(d.autoContrast, 1);
  EXPECT_EQ(d.contrast, 3);
  EXPECT_EQ(d.brightness, 9);
  ViewSettings rest = d;
  rest.autoContrast = s.autoContrast;
  rest.contrast = s.contrast;
  rest.brightness = s.brightness;
  EXPECT_EQ(viewSettingsToBlob(rest), viewSettingsToBlob(s));
  EXPECT_EQ(viewDialogTemplate(1, 1), 108);
  EXPECT_EQ(viewDialogTemplate(1, 0), 131);
}

}  // namespace sk720
