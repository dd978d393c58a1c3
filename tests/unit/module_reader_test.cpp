// Our own reader of module resource tables and our best-fit choice, on
// modules built in memory. Runs natively and, cross-built, under Wine.
#include <gtest/gtest.h>

#include <functional>

#include "platform/portable/core/icon_best_fit.h"
#include "platform/portable/core/resource_table.h"
#include "tests/support/pe_builder.h"

namespace pk {
namespace {

using platform::ResourceName;
using portable::MemoryByteSource;
using test::ByName;
using test::ById;
using test::ByteVector;
using test::GroupDirectory;
using test::GroupEntry;
using test::PeBuilder;
using test::PeLayout;

// Keeps ASCII, marks anything else, so a test can see the conversion is used.
std::string TestNarrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? std::string(1, char(c)) : std::string("<") + std::to_string(unsigned(c)) + ">";
  return out;
}

struct Opened {
  ByteVector bytes;
  std::unique_ptr<MemoryByteSource> source;
  std::unique_ptr<portable::ResourceTable> table;
};

Opened Open(ByteVector bytes) {
  Opened o{std::move(bytes), nullptr, nullptr};
  o.source = std::make_unique<MemoryByteSource>(Bytes(o.bytes));
  o.table = portable::OpenResourceTable(*o.source, TestNarrow);
  return o;
}

std::vector<std::string> Describe(const Result<std::vector<ResourceName>, portable::ResourceFault>& names) {
  std::vector<std::string> out;
  if (!names) return {"<fails>"};
  for (const ResourceName& n : *names) out.push_back(n.IsId() ? std::to_string(n.Id()) : "'" + n.Text() + "'");
  return out;
}

ByteVector Bytes1(uint8_t fill, size_t n) { return ByteVector(n, fill); }

std::optional<ByteVector> Read(Opened& o, uint16_t type, const ResourceName& name) {
  auto loc = o.table->Find(type, name);
  if (!loc) return std::nullopt;
  std::vector<uint8_t> bytes;
  if (!o.source->ReadRange(loc->offset, loc->size, &bytes)) return std::nullopt;
  return bytes;
}

class PeFormats : public testing::TestWithParam<bool> {};

TEST_P(PeFormats, NamesComeTextFirstThenIdsAscending) {
  PeBuilder b;
  b.Pe32Plus(GetParam());
  for (uint16_t id : {10, 2, 1, 300}) b.Group(ById(id), Bytes1(uint8_t(id), 8));
  b.Group(ByName(u"ZED"), Bytes1(1, 8)).Group(ByName(u"ALPHA"), Bytes1(2, 8)).Group(ByName(u"\u56fe"), Bytes1(3, 8));
  b.Icon(7, Bytes1(9, 4));
  auto o = Open(b.Build().bytes);
  ASSERT_TRUE(o.table);
  EXPECT_EQ(Describe(o.table->Names(test::kRtGroupIcon)),
            (std::vector<std::string>{"'ALPHA'", "'ZED'", "'<22270>'", "1", "2", "10", "300"}));
  EXPECT_EQ(Describe(o.table->Names(test::kRtIcon)), std::vector<std::string>{"7"});
  EXPECT_EQ(Describe(o.table->Names(2)), std::vector<std::string>{"<fails>"});  // no bitmaps at all
}

TEST_P(PeFormats, FindsByIdAndByTextIgnoringAsciiCase) {
  PeBuilder b;
  b.Pe32Plus(GetParam()).Group(ById(5), Bytes1(5, 20)).Group(ByName(u"MAIN_ICON"), Bytes1(6, 30));
  b.Icon(5, Bytes1(7, 40));
  auto o = Open(b.Build().bytes);
  EXPECT_EQ(Read(o, test::kRtGroupIcon, ResourceName::FromId(5)), Bytes1(5, 20));
  EXPECT_EQ(Read(o, test::kRtIcon, ResourceName::FromId(5)), Bytes1(7, 40));
  EXPECT_EQ(Read(o, test::kRtGroupIcon, ResourceName::FromText("main_Icon")), Bytes1(6, 30));
  EXPECT_FALSE(Read(o, test::kRtGroupIcon, ResourceName::FromText("MAIN")));
  EXPECT_FALSE(Read(o, test::kRtGroupIcon, ResourceName::FromId(6)));
  EXPECT_FALSE(Read(o, test::kRtIcon, ResourceName::FromText("MAIN_ICON")));
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PeFormats, testing::Bool());

TEST(PeReader, TakesTheLanguageAChineseSystemWouldTake) {
  struct Case {
    std::vector<uint16_t> languages;
    uint16_t expected;
  };
  const Case cases[] = {
      {{0x0409, 0x0804}, 0x0804}, {{0x0000, 0x0409, 0x0804}, 0x0000}, {{0x0004, 0x0409}, 0x0004},
      {{0x0407, 0x0409}, 0x0409}, {{0x040C, 0x0407}, 0x0407},  // none preferred: the first listed
  };
  for (const Case& c : cases) {
    PeBuilder b;
    for (uint16_t lang : c.languages) b.Group(ById(1), Bytes1(uint8_t(lang), uint8_t(lang) + 1u), lang);
    auto o = Open(b.Build().bytes);
    EXPECT_EQ(Read(o, test::kRtGroupIcon, ResourceName::FromId(1)), Bytes1(uint8_t(c.expected), uint8_t(c.expected) + 1u))
        << "expected language " << std::hex << c.expected;
  }
}

TEST(PeReader, NotAModule) {
  ByteVector text(200, 'x');
  EXPECT_FALSE(Open(text).table);
  EXPECT_FALSE(Open(ByteVector{'M', 'Z'}).table);
  auto pe = PeBuilder().Group(ById(1), Bytes1(1, 8)).Build();
  StoreU32(&pe.bytes[0x3C], uint32_t(pe.bytes.size()));  // header pointer beyond the end
  EXPECT_FALSE(Open(pe.bytes).table);
}

// Damaged modules: each is refused (a failed enumeration or lookup), never a
// crash or a read outside the file, and the lookup says which check refused it.
TEST(PeReader, DamagedTablesAreRefused) {
  using portable::ResourceFault;
  struct Case {
    const char* what;
    std::function<void(PeLayout&)> damage;
    bool namesFail;
    ResourceFault findFault;
  };
  auto u32 = [](PeLayout& l, uint32_t at, uint32_t v) { StoreU32(&l.bytes[at], v); };
  auto u16 = [](PeLayout& l, uint32_t at, uint16_t v) { StoreU16(&l.bytes[at], v); };
  const Case cases[] = {
      {"resource directory not among the data directories", [&](PeLayout& l) { u32(l, l.optionalHeader + 92, 2); }, true, ResourceFault::NoResources},
      {"no resource directory", [&](PeLayout& l) { u32(l, l.optionalHeader + 96 + 16, 0); }, true, ResourceFault::NoResources},
      {"unknown optional header", [&](PeLayout& l) { u16(l, l.optionalHeader, 0x107); }, true, ResourceFault::NoResources},
      {"no sections", [&](PeLayout& l) { u16(l, l.ntHeader + 6, 0); }, true, ResourceFault::NoResources},
      {"resource address in no section", [&](PeLayout& l) { u32(l, l.optionalHeader + 96 + 16, 0x9000); }, true, ResourceFault::NoResources},
      {"root entry counts beyond the file", [&](PeLayout& l) { u32(l, l.root + 12, 0xFFFFFFFF); }, true, ResourceFault::TableOutside},
      {"type leads back to the root", [&](PeLayout& l) { u32(l, l.typeEntry[14] + 4, 0x80000000); }, true, ResourceFault::LeadsBack},
      {"type points at data", [&](PeLayout& l) { u32(l, l.typeEntry[14] + 4, 0x10); }, true, ResourceFault::NoSuchType},
      {"name leads back to its type", [&](PeLayout& l) { u32(l, l.nameEntries[14][0] + 4, 0x80000000 | (l.typeDirectory[14] - l.root)); }, false, ResourceFault::LeadsBack},
      {"language flagged as a directory", [&](PeLayout& l) { u32(l, l.languageEntries[14][0] + 4, 0x80000000 | (l.typeDirectory[14] - l.root)); }, false, ResourceFault::NoData},
      {"data beyond the file", [&](PeLayout& l) { u32(l, l.dataEntries[14][0] + 4, 0xFFFFFFF0); }, false, ResourceFault::DataOutside},
      {"data address wraps", [&](PeLayout& l) { u32(l, l.dataEntries[14][0], 0xFFFFFFF8); }, false, ResourceFault::DataOutside},
      {"data beyond the section's raw bytes", [&](PeLayout& l) { u32(l, l.sectionHeader + 16, 0x40); }, false, ResourceFault::DataOutside},
      {"no data, where the section's file bytes end", [&](PeLayout& l) {
         u32(l, l.dataEntries[14][0], 0x1000 + LoadU32(&l.bytes[l.sectionHeader + 16]));
         u32(l, l.dataEntries[14][0] + 4, 0);
       }, false, ResourceFault::DataOutside},
      {"section raw data beyond the file", [&](PeLayout& l) { u32(l, l.sectionHeader + 20, 0x7FFFFF00); }, true, ResourceFault::TableOutside},
      {"file cut in the middle of the tree", [&](PeLayout& l) { l.bytes.resize(l.root + 20); }, true, ResourceFault::TableOutside},
  };
  for (const Case& c : cases) {
    PeLayout l = PeBuilder().Group(ById(1), GroupDirectory({{}})).Icon(1, Bytes1(1, 64)).Build();
    c.damage(l);
    auto o = Open(l.bytes);
    ASSERT_TRUE(o.table) << c.what;
    EXPECT_EQ(!o.table->Names(test::kRtGroupIcon), c.namesFail) << c.what;
    auto found = o.table->Find(test::kRtGroupIcon, ResourceName::FromId(1));
    ASSERT_FALSE(found) << c.what;
    EXPECT_EQ(found.reason(), c.findFault) << c.what;
  }
}

// The system takes an address inside the headers as a file offset as it is.
TEST(PeReader, ARootAddressInsideTheHeadersIsAFileOffset) {
  PeLayout l = PeBuilder().Group(ById(1), GroupDirectory({{}})).Icon(1, Bytes1(1, 64)).Build();
  StoreU32(&l.bytes[l.optionalHeader + 96 + 16], l.root);  // the tree's file offset, 0x200
  StoreU32(&l.bytes[l.optionalHeader + 60], l.root + 0x200);  // SizeOfHeaders reaching past it
  auto o = Open(l.bytes);
  EXPECT_EQ(Describe(o.table->Names(test::kRtGroupIcon)), std::vector<std::string>{"1"});
  EXPECT_TRUE(Read(o, test::kRtIcon, ResourceName::FromId(1)));
}

TEST(PeReader, ANameWhoseTextIsOutsideTheFileIsLeftOut) {
  PeLayout l = PeBuilder().Group(ByName(u"A"), Bytes1(1, 8)).Group(ById(3), Bytes1(2, 8)).Build();
  StoreU32(&l.bytes[l.nameEntries[14][0]], 0x80000000u | 0x7FFFFFF0u);
  auto o = Open(l.bytes);
  EXPECT_EQ(Describe(o.table->Names(test::kRtGroupIcon)), std::vector<std::string>{"3"});
}

TEST(PeReader, ReadsOnlyWhatItNeeds) {
  // A module with a large resource it is not asked about.
  PeLayout l = PeBuilder().Group(ById(1), Bytes1(1, 16)).Add(10, ById(1), ByteVector(4 << 20, 0xAB)).Build();
  class CountingSource : public MemoryByteSource {
   public:
    using MemoryByteSource::MemoryByteSource;
    bool ReadAt(uint64_t offset, void* out, size_t length) override {
      read += length;
      return MemoryByteSource::ReadAt(offset, out, length);
    }
    uint64_t read = 0;
  } source{Bytes(l.bytes)};
  auto table = portable::OpenResourceTable(source, TestNarrow);
  ASSERT_TRUE(table->Names(test::kRtGroupIcon));
  ASSERT_TRUE(table->Find(test::kRtGroupIcon, ResourceName::FromId(1)));
  EXPECT_LT(source.read, 4096u);
}

TEST(NeReader, ReadsClassicIconLibraries) {
  for (uint16_t shift : {4, 9}) {
    ByteVector image = test::DibImage(32, 32, 4);
    ByteVector wide = test::DibImage(257, 1, 1);  // 120 bytes: wider than any icon of such a library
    ByteVector group = GroupDirectory({{32, 32, 4, uint32_t(image.size()), 1}});
    auto l = test::NeBuilder()
                 .AlignShift(shift)
                 .Add(test::kRtIcon, true, 1, "", image)
                 .Add(test::kRtIcon, true, 2, "", wide)
                 .Add(test::kRtGroupIcon, true, 20, "", group)
                 .Add(test::kRtGroupIcon, true, 3, "", group)
                 .Add(test::kRtGroupIcon, false, 0, "Folder", group)
                 .Build();
    auto o = Open(l.bytes);
    ASSERT_TRUE(o.table);
    EXPECT_EQ(Describe(o.table->Names(test::kRtGroupIcon)), (std::vector<std::string>{"'Folder'", "3", "20"}));
    // The stored lengths are whole alignment units; the bytes are cut back to
    // what the image and the directory say they hold.
    EXPECT_EQ(Read(o, test::kRtIcon, ResourceName::FromId(1)), image) << "shift " << shift;
    const size_t unit = size_t(1) << shift;
    EXPECT_EQ(Read(o, test::kRtIcon, ResourceName::FromId(2))->size(), (wide.size() + unit - 1) / unit * unit);
    EXPECT_EQ(Read(o, test::kRtGroupIcon, ResourceName::FromText("FOLDER")), group);
    EXPECT_EQ(Read(o, test::kRtGroupIcon, ResourceName::FromId(20)), group);
    EXPECT_FALSE(Read(o, test::kRtGroupIcon, ResourceName::FromId(1)));
  }
}

TEST(NeReader, DamagedTablesAreRefused) {
  using portable::ResourceFault;
  auto base = test::NeBuilder().Add(test::kRtGroupIcon, true, 1, "", GroupDirectory({{}})).Build();
  struct Case {
    const char* what;
    std::function<void(test::NeBuilder::Layout&)> damage;
    bool namesFail;
    ResourceFault findFault;
  };
  auto shift = [](uint16_t s) { return [s](test::NeBuilder::Layout& l) { StoreU16(&l.bytes[l.table], s); }; };
  // Shifts past 24 put every resource beyond any file; 64 and more would not
  // even be a defined shift. Such a table is no table.
  const Case cases[] = {
      {"alignment shift 25", shift(25), true, ResourceFault::NoResources},
      {"alignment shift 40", shift(40), true, ResourceFault::NoResources},
      {"alignment shift 64", shift(64), true, ResourceFault::NoResources},
      {"no resource table (it would end where it starts)", [](auto& l) { StoreU16(&l.bytes[0x40 + 0x26], 0x40); },
       true, ResourceFault::NoResources},
      {"table cut off", [](auto& l) { l.bytes.resize(l.table + 9); }, true, ResourceFault::NoSuchName},
      {"resource beyond the file", [](auto& l) { StoreU16(&l.bytes[l.table + 10], 0xFFFF); }, false, ResourceFault::DataOutside},
      {"name offset beyond the table", [](auto& l) { StoreU16(&l.bytes[l.table + 16], 0x7FFF); }, true, ResourceFault::NoSuchName},
  };
  for (const Case& c : cases) {
    auto l = base;
    c.damage(l);
    auto o = Open(l.bytes);
    ASSERT_TRUE(o.table) << c.what;
    auto found = o.table->Find(test::kRtGroupIcon, ResourceName::FromId(1));
    ASSERT_FALSE(found) << c.what;
    EXPECT_EQ(found.reason(), c.findFault) << c.what;
    EXPECT_EQ(!o.table->Names(test::kRtGroupIcon), c.namesFail) << c.what;
  }
}

TEST(BestFit, PrefersTheNearestSizeThenTheDisplayDepth) {
  std::vector<GroupEntry> sizes;  // 16/32/48/256 at 4 and 32 bits, ids 1..8
  uint16_t id = 1;
  for (uint8_t side : {16, 32, 48, 0})
    for (uint16_t bits : {4, 32}) sizes.push_back({side, side, bits, 0, id++});
  const ByteVector dir = GroupDirectory(sizes);
  struct Case {
    int request;
    uint16_t expected;
  };
  // Too small costs twice as much as too large.
  const Case cases[] = {{32, 4}, {24, 4}, {40, 6}, {20, 2}, {64, 6}, {128, 8}, {256, 8}, {16, 2}};
  for (const Case& c : cases)
    EXPECT_EQ(portable::ChooseBestIconId(dir, c.request, c.request), c.expected) << "request " << c.request;
  EXPECT_EQ(portable::ChooseBestIconId(dir), 4);  // the default: 32 x 32 on a 32-bit display
}

TEST(BestFit, DepthAmongEquallyGoodSizes) {
  struct Case {
    std::vector<uint16_t> depths;
    uint16_t expected;  // 1-based position
  };
  const Case cases[] = {
      {{4, 32, 8}, 2},    // the display's depth
      {{4, 8}, 2},        // else the deepest below it
      {{24, 16, 24}, 1},  // first of equals
      {{8, 40}, 2},       // only deeper ones: paletted images are passed over
      {{4, 1}, 1},        // all paletted: the deepest
  };
  for (const Case& c : cases) {
    std::vector<GroupEntry> entries;
    for (size_t i = 0; i < c.depths.size(); ++i) entries.push_back({32, 32, c.depths[i], 0, uint16_t(i + 1)});
    EXPECT_EQ(portable::ChooseBestIconId(GroupDirectory(entries)), c.expected);
  }
}

TEST(BestFit, OddDirectories) {
  EXPECT_EQ(portable::ChooseBestIconId(GroupDirectory({{}}, {}, 1, 1)), 0);  // reserved word set
  EXPECT_EQ(portable::ChooseBestIconId(GroupDirectory({{}}, {}, 0)), 0);     // neither icon nor cursor
  EXPECT_EQ(portable::ChooseBestIconId(ByteVector{0, 0, 1}), 0);
  EXPECT_EQ(portable::ChooseBestIconId(GroupDirectory({})), 0);
  // Only the entries inside the bytes count, whatever the count says.
  EXPECT_EQ(portable::ChooseBestIconId(GroupDirectory({{16, 16, 4, 0, 9}}, 500)), 9);
  // 0 means 256 on each axis on its own: 256 x 32 is far from 32 x 32.
  EXPECT_EQ(portable::ChooseBestIconId(GroupDirectory({{0, 32, 32, 0, 1}, {16, 16, 32, 0, 2}})), 2);
}

}  // namespace
}  // namespace pk
