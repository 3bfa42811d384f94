#include "link/com_port.h"

#include <gtest/gtest.h>

namespace sk720 {
namespace {

TEST(ComPortTable, NamesNumbersAndOrder) {
  // The views end before characters that follow in memory: those must not be read.
  const std::pair<std::u16string_view, uint32_t> numbers[] = {
      {u"com12", 12},        {u"COM9", 9},
      {u"COMX", 0},  // listed with 0, which ends the table
      {u"COM7x3", 7},        {std::u16string_view(u"COM123", 5), 12},
      {u"COM99999999999", 0}};
  for (auto [text, n] : numbers) EXPECT_EQ(comPortNumberFromText(text), n);
  EXPECT_TRUE(isComPortText(u"cOm"));
  EXPECT_FALSE(isComPortText(u"CO"));
  EXPECT_FALSE(isComPortText(u"LPT1"));

  ComPortEntry table[kComPortTableSize] = {};
  const uint32_t listed[] = {12, 3, 7};
  for (int i = 0; i < 3; ++i) {
    table[i].portNumber = listed[i];
    setComPortName(table[i], "COM" + std::to_string(listed[i]));
  }
  table[4].portNumber = 1;  // after the end marker: not sorted in
  sortComPorts(table);
  EXPECT_EQ(comPortNameUtf8(table[0]) + comPortNameUtf8(table[1]) + comPortNameUtf8(table[2]),
            "COM3COM7COM12");
  EXPECT_EQ(table[4].portNumber, 1u);
  setComPortName(table[0], std::string(300, 'x'));
  EXPECT_EQ(comPortNameUtf8(table[0]), std::string(255, 'x'));
  setComPortName(table[0], std::u16string_view(u"\u0416a"));
  EXPECT_EQ(comPortNameUtf8(table[0]), "?a");
}

}  // namespace
}  // namespace sk720
