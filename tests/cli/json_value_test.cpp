#include "cli/json_value.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cmath>
#include <limits>

#include "json_reader.h"

namespace q3d::cli {
namespace {

TEST(JsonValue, DumpsOneLineThatReadsBackExactly) {
  JsonValue object = JsonValue::Object{};
  object.Set("name", "a \"quoted\" path\\with\nnewline\ttab\x01");
  object.Set("count", 3);
  object.Set("big", uint64_t{18446744073709551615ull});
  object.Set("pi", 3.141592653589793);
  object.Set("tiny", 1e-300);
  object.Set("flag", false);
  object.Set("nothing", JsonValue());
  Matrix R(2, 2);
  R << 1.0 / 3.0, -2, 0.1, 1e20;
  object.Set("R", JsonValue::FromMatrix(R));
  object.Set("t", JsonValue::FromMatrix(Matrix::Constant(3, 1, 0.5)));

  const std::string text = object.Dump();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const auto json = test::Json::Parse(text);
  ASSERT_TRUE(json) << text;
  EXPECT_EQ((*json)["name"].String(), "a \"quoted\" path\\with\nnewline\ttab\x01");
  EXPECT_EQ((*json)["count"].Number(), 3);
  EXPECT_NE(text.find("\"big\":18446744073709551615"), std::string::npos) << text;
  EXPECT_EQ((*json)["pi"].Number(), 3.141592653589793);
  EXPECT_EQ((*json)["tiny"].Number(), 1e-300);
  EXPECT_FALSE((*json)["flag"].Bool());
  EXPECT_TRUE((*json)["nothing"].IsNull());
  EXPECT_EQ((*json)["R"][0][0].Number(), 1.0 / 3.0);
  EXPECT_EQ((*json)["R"][1][1].Number(), 1e20);
  ASSERT_EQ((*json)["t"].Items().size(), 3u);
  EXPECT_EQ((*json)["t"][2].Number(), 0.5);
}

// Whether the C library's converter takes every byte as UTF-8 (a strict reader's view).
bool IsStrictUtf8(std::string text) {
  const iconv_t converter = iconv_open("UTF-32LE", "UTF-8");
  std::string wide(text.size() * 4, '\0');
  char* in = text.data();
  char* out = wide.data();
  size_t inLeft = text.size(), outLeft = wide.size();
  const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  return converted && inLeft == 0;
}

TEST(JsonValue, BytesThatAreNotUtf8AreReplacedAndTheRestKept) {
  JsonValue object = JsonValue::Object{};
  object.Set("make", "Caf\xe9");
  object.Set("name", "\xff\xfe\xc0\xaf\xed\xa0\x80 \xe2\x82");
  object.Set("kept", "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
  const std::string text = object.Dump();
  EXPECT_TRUE(IsStrictUtf8(text)) << text;
  const auto json = test::Json::Parse(text);
  ASSERT_TRUE(json) << text;
  EXPECT_EQ((*json)["make"].String(), "Caf\xef\xbf\xbd");
  EXPECT_EQ((*json)["kept"].String(), "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
}

TEST(JsonValue, NonFiniteNumbersBecomeNull) {
  JsonValue object = JsonValue::Object{};
  object.Set("nan", std::numeric_limits<double>::quiet_NaN());
  object.Set("inf", -std::numeric_limits<double>::infinity());
  const auto json = test::Json::Parse(object.Dump());
  ASSERT_TRUE(json) << object.Dump();
  EXPECT_TRUE((*json)["nan"].IsNull());
  EXPECT_TRUE((*json)["inf"].IsNull());
}

TEST(JsonValue, SetReplacesAndMergeKeepsOrder) {
  JsonValue a = JsonValue::Object{};
  a.Set("first", 1).Set("second", 2);
  JsonValue b = JsonValue::Object{};
  b.Set("second", 20).Set("third", 3);
  a.Merge(b);
  EXPECT_EQ(a.Dump(), "{\"first\":1,\"second\":20,\"third\":3}");
}

}  // namespace
}  // namespace q3d::cli
