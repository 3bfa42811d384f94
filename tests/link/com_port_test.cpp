#include "link/com_port.h"

#include <gtest/gtest.h>

namespace sk720 {
namespace {

TEST(ComPortTable, NamesNumbersAndOrder) {
  EXPECT_TRUE(isComPortText(u"com12"));
  EXPECT_EQ(comPortNumberFromText(u"com12"), 12u);
  EXPECT_TRUE(isComPortText(u"COMX"));
  EXPECT_EQ(comPortNumberFromText(u"COMX"), 0u);  // listed with 0, which ends the table
  EXPECT_EQ(comPortNumberFromText(u"COM7x3"), 7u);
  EXPECT_FALSE(isComPortText(u"CO"));
  EXPECT_FALSE(isComPortText(u"LPT1"));

  ComPortEntry table[kComPortTableSize] = {};
  const uint32_t numbers[] = {12, 3, 7};
  for (int i = 0; i < 3; ++i) {
    table[i].portNumber = numbers[i];
    setComPortName(table[i], "COM" + std::to_string(numbers[i]));
  }
  table[4].portNumber = 1;  // after the end marker: not sorted in
  sortComPorts(table);
  EXPECT_EQ(table[0].portNumber, 3u);
  EXPECT_EQ(comPortNameUtf8(table[0]), "COM3");
  EXPECT_EQ(table[2].portNumber, 12u);
  EXPECT_EQ(table[4].portNumber, 1u);

  setComPortName(table[0], std::string(300, 'x'));
  EXPECT_EQ(comPortNameUtf8(table[0]).size(), 255u);
}

}  // namespace
}  // namespace sk720
