// The sort-order guard on its own: which keys byte order may place under a collating sort order,
// which pairs of keys every case- and accent-insensitive collation orders as bytes do, and the
// refusal a collating table gives, through the engine, for a key it cannot place.
#include "stores/paradox/sort_order_guard.h"

#include <gtest/gtest.h>

#include "paradox_test_util.h"

namespace varnholt::paradox {
namespace {

using namespace std::string_literals;

// A key of a 4-byte number (not text) then a 6-byte alpha field.
constexpr size_t kNumberSize = 4;
constexpr size_t kAlphaSize = 6;

std::string Key(const std::string& number, const std::string& alpha) {
  std::string key = number;
  key.resize(kNumberSize, '\0');
  std::string text = alpha;
  text.resize(kAlphaSize, '\0');
  return key + text;
}

SortOrderGuard Collating() { return SortOrderGuard("intl", {{kNumberSize, kAlphaSize}}); }

TEST(SortOrderGuardTest, OnlyACollatingOrderWithAlphaKeysNeedsGuarding) {
  for (const char* order : {"", "ascii", "DBWINUS0"}) {
    SCOPED_TRACE(order);
    const SortOrderGuard guard(order, {{kNumberSize, kAlphaSize}});
    EXPECT_TRUE(KeepsByteOrder(order));
    EXPECT_FALSE(guard.needed());
    EXPECT_TRUE(guard.Plain(Key("1", "\xE9t\xE9")));
    EXPECT_EQ(guard.Conflict(Key("1", "a"), [](const auto& visit) { visit(Key("1", "B")); }), "");
  }
  EXPECT_FALSE(KeepsByteOrder("intl"));
  EXPECT_FALSE(SortOrderGuard("intl", {}).needed());  // no alpha field in the key
  EXPECT_TRUE(Collating().needed());
}

TEST(SortOrderGuardTest, AKeyIsPlainWhenItsTextHoldsNoLetterAndNothingPastAscii) {
  const SortOrderGuard guard = Collating();
  EXPECT_TRUE(guard.Plain(Key("AB", "12 -/")));  // letters outside the alpha field do not count
  EXPECT_TRUE(guard.Plain(Key("1", "")));
  EXPECT_FALSE(guard.Plain(Key("1", "12a")));
  EXPECT_FALSE(guard.Plain(Key("1", "Z")));
  EXPECT_FALSE(guard.Plain(Key("1", "1\x80")));
  EXPECT_FALSE(guard.Plain(Key("1", "     \xFF")));  // the field's last byte
  EXPECT_TRUE(guard.Plain(Key("1", "").substr(0, kNumberSize + 2)));  // a key cut short
}

TEST(SortOrderGuardTest, PairsAgreeOnlyWhereNoCollationCanTurnThemAround) {
  const SortOrderGuard guard = Collating();
  struct Case {
    std::string a, b;
    bool agree;
  };
  const Case cases[] = {
      {Key("1", "abc"), Key("1", "abd"), true},     // letters of one case
      {Key("1", "ABC"), Key("1", "ABD"), true},
      {Key("1", "A"), Key("1", "b"), true},         // 'a' < 'b' in letters and in bytes
      {Key("1", "a"), Key("1", "B"), false},        // alphabet and bytes disagree
      {Key("1", "a"), Key("1", "A"), false},        // the same letter in another case
      {Key("1", "ab"), Key("1", "a"), true},        // a longer text after its start (its end is NUL)
      {Key("1", "a1"), Key("1", "aa"), true},       // a digit before a letter
      {Key("1", "a "), Key("1", "aB"), true},       // a blank before a letter
      {Key("1", "a_"), Key("1", "ab"), false},      // punctuation between the capitals and the small letters
      {Key("1", "a~"), Key("1", "aB"), false},      // punctuation after the small letters
      {Key("1", "12"), Key("1", "1-"), true},       // digits and punctuation: their own order
      {Key("1", "\xE9"), Key("1", "f"), false},     // a byte outside ASCII
      {Key("1", "e"), Key("1", "\xE9"), false},
      {Key("1", "b"), Key("2", "A"), true},         // the number decides before the text
      {Key("1", "aBc"), Key("1", "aBd"), true},     // decided after equal bytes of mixed case
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a.substr(kNumberSize) + " / " + c.b.substr(kNumberSize));
    EXPECT_EQ(guard.Agree(c.a, c.b), c.agree);
    EXPECT_EQ(guard.Agree(c.b, c.a), c.agree);
  }
}

TEST(SortOrderGuardTest, AConflictNamesTheFirstKeyHeldThatCouldOrderOtherwise) {
  const SortOrderGuard guard = Collating();
  const std::vector<std::string> held = {Key("1", "Alpha"), Key("1", "alpha"), Key("1", "beta"), Key("1", "Beta")};
  int visited = 0;
  auto each = [&](const std::function<bool(std::string_view)>& visit) {
    for (const std::string& key : held) {
      ++visited;
      if (!visit(key)) return;
    }
  };
  EXPECT_EQ(guard.Conflict(Key("1", "alpha"), each), Key("1", "Alpha"));  // itself is passed by
  EXPECT_EQ(visited, 1);
  visited = 0;
  EXPECT_EQ(guard.Conflict(Key("1", "b"), each), Key("1", "Beta"));
  EXPECT_EQ(visited, 4);
  EXPECT_EQ(guard.Conflict(Key("1", "12"), each), "");  // a plain key is not compared at all
  EXPECT_EQ(guard.Conflict(Key("2", "gamma"), each), "");

  EXPECT_EQ(guard.AlphaText(Key("1", "ab")), "ab");
  const std::string refusal =
      guard.Refusal("T.DB", Key("1", "ab"), Key("1", "AB"), [](const std::string& s) { return "<" + s + ">"; });
  EXPECT_EQ(refusal.rfind("T.DB: cannot place the key '<ab>' under sort order intl: its order against the key '<AB>'", 0),
            0u)
      << refusal;
}

TEST(SortOrderGuardTest, ACollatingTableRefusesAKeyWhoseOrderIsOpenAndKeepsItsRows) {
  testing::ScratchDir dir;
  TableSchema schema = testing::SmallSchema();
  schema.sort_order = "intl";
  const std::string path = dir.File("T.DB");
  Table::Create(path, schema);
  {
    auto table = Table::Open(path, true);
    table->Insert(testing::SmallRecord("apple", "n"));
    table->Insert(testing::SmallRecord("12", "n"));
    table->Insert(testing::SmallRecord("cherry", "n"));  // agrees with "apple" in every collation
    try {
      table->Insert(testing::SmallRecord("Banana", "n"));  // 'B' against 'a' and 'c': open
      ADD_FAILURE() << "placed";
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find("cannot place the key 'Banana' under sort order intl"),
                std::string::npos)
          << e.what();
    }
    table->Save();
  }
  EXPECT_EQ(Table::Open(path, false)->RecordCount(), 3u);
}

}  // namespace
}  // namespace varnholt::paradox
