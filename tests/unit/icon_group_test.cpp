// Loading group icons from modules, through whichever module backend the
// build has: our own reader natively, the system's loader under Wine.
#include <gtest/gtest.h>

#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "codec_messages.h"
#include "tests/support/message_capture.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using platform::ResourceName;
using test::ByName;
using test::ById;
using test::ByteVector;
using test::DibImage;
using test::GroupDirectory;
using test::PeBuilder;

ByteVector ImageBytes(const IconSetImage& image) { return ByteVector(image.data.get(), image.data.get() + image.dataSize); }

class IconGroupTest : public testing::TestWithParam<bool> {
 protected:
  std::string Write(const ByteVector& bytes, const char* name = "m.dll") { return path_ = dir_.Write(name, bytes); }
  std::unique_ptr<IconSet> Load(const ByteVector& module, const ResourceName& name) {
    return LoadIconGroup(Write(module).c_str(), &name);
  }
  PeBuilder Builder() const {
    PeBuilder b;
    b.Pe32Plus(GetParam());
    return b;
  }
  test::TempDir dir_;
  std::string path_;
  test::MessageCapture messages_;
};

TEST_P(IconGroupTest, ImagesFollowTheDirectoryAndKeepTheirResourceSize) {
  const ByteVector i1 = DibImage(16, 16, 4), i2 = DibImage(32, 32, 8), i3 = test::PngImage(48, 48);
  // Ids listed 3, 1, 2; every size field of the directory is wrong.
  auto module = Builder()
                    .Icon(1, i1)
                    .Icon(2, i2)
                    .Icon(3, i3)
                    .Group(ById(7), GroupDirectory({{48, 48, 32, 5, 3}, {16, 16, 4, 99999, 1}, {32, 32, 8, 0, 2}}))
                    .Build();
  auto set = Load(module.bytes, ResourceName::FromId(7));
  ASSERT_TRUE(set);
  EXPECT_TRUE(messages_.messages.empty());
  ASSERT_EQ(set->imageCount, 3u);
  EXPECT_EQ(ImageBytes(set->images[0]), i3);
  EXPECT_EQ(ImageBytes(set->images[1]), i1);
  EXPECT_EQ(ImageBytes(set->images[2]), i2);
  EXPECT_EQ(set->images[0].format, ImageFormat::Png);
  EXPECT_EQ(set->images[2].bitCount, 8u);
  EXPECT_STREQ(set->moduleFilePath, path_.c_str());
  EXPECT_STREQ(set->iconFilePath, "");
}

TEST_P(IconGroupTest, TextAndIntegerGroupNames) {
  const ByteVector image = DibImage(32, 32, 32);
  auto module = Builder()
                    .Icon(4, image)
                    .Group(ByName(u"APP"), GroupDirectory({{32, 32, 32, 0, 4}}))
                    .Group(ById(2), GroupDirectory({{32, 32, 32, 0, 4}, {32, 32, 32, 0, 4}}))
                    .Build();
  auto byText = Load(module.bytes, ResourceName::FromText("APP"));
  auto byId = Load(module.bytes, ResourceName::FromId(2));
  ASSERT_TRUE(byText && byId);
  EXPECT_EQ(byText->imageCount, 1u);
  EXPECT_EQ(byId->imageCount, 2u);
  EXPECT_EQ(ImageBytes(byId->images[1]), image);
}

TEST_P(IconGroupTest, AnEmptyGroupIsAnEmptyRecord) {
  auto set = Load(Builder().Group(ById(1), GroupDirectory({})).Build().bytes, ResourceName::FromId(1));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->imageCount, 0u);
  EXPECT_TRUE(messages_.messages.empty());
}

// Refused without a message: what is missing, and directories whose entries
// do not fit inside the group resource (never read beyond it).
TEST_P(IconGroupTest, RefusedWithoutAMessage) {
  const ByteVector image = DibImage(16, 16, 4);
  ByteVector cut = GroupDirectory({{16, 16, 4, 0, 1}, {16, 16, 4, 0, 1}}, 3);
  ByteVector lessThanAnEntryShort = cut;
  lessThanAnEntryShort.resize(cut.size() + 8);  // three entries of 12 bytes would fit
  struct Case {
    const char* what;
    ByteVector group;
    ResourceName name;
    GroupFault fault;
  };
  const Case cases[] = {
      {"group missing", GroupDirectory({{16, 16, 4, 0, 1}}), ResourceName::FromId(9), GroupFault::GroupMissing},
      {"text group missing", GroupDirectory({{16, 16, 4, 0, 1}}), ResourceName::FromText("NOPE"), GroupFault::GroupMissing},
      {"image id missing", GroupDirectory({{16, 16, 4, 0, 1}, {16, 16, 4, 0, 6}}), ResourceName::FromId(1),
       GroupFault::ImageMissing},
      {"count larger than the directory", cut, ResourceName::FromId(1), GroupFault::DirectoryShort},
      {"count larger than the directory by 6 bytes", lessThanAnEntryShort, ResourceName::FromId(1),
       GroupFault::DirectoryShort},
      {"directory shorter than its header", ByteVector{0, 0, 1, 0}, ResourceName::FromId(1), GroupFault::DirectoryShort},
  };
  for (const Case& c : cases) {
    messages_.messages.clear();
    auto module = Builder().Icon(1, image).Group(ById(1), c.group).Build();
    EXPECT_FALSE(Load(module.bytes, c.name)) << c.what;
    EXPECT_TRUE(messages_.messages.empty()) << c.what;
    auto opened = platform::OpenModuleAsData(path_.c_str());
    ASSERT_TRUE(opened) << c.what;
    auto read = ReadIconGroup(*opened, path_.c_str(), c.name);
    ASSERT_FALSE(read) << c.what;
    EXPECT_EQ(read.reason(), c.fault) << c.what;
  }
}

TEST_P(IconGroupTest, AnImageThatCannotBeBoundIsReported) {
  auto module = Builder().Icon(1, ByteVector(10, 0x28)).Group(ById(1), GroupDirectory({{}})).Build();
  EXPECT_FALSE(Load(module.bytes, ResourceName::FromId(1)));
  EXPECT_EQ(messages_.Only(), msg::kGroupBindFailed);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].caption, path_);
  EXPECT_EQ(messages_.messages[0].owner, platform::Owner::MainWindow);
}

TEST_P(IconGroupTest, PrefersTheChineseResourceOfSeveralLanguages) {
  auto module = Builder()
                    .Icon(1, DibImage(16, 16, 4))
                    .Icon(2, DibImage(32, 32, 4))
                    .Group(ById(1), GroupDirectory({{16, 16, 4, 0, 1}}), 0x0409)
                    .Group(ById(1), GroupDirectory({{32, 32, 4, 0, 2}}), 0x0804)
                    .Build();
  auto set = Load(module.bytes, ResourceName::FromId(1));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->images[0].width, 32);
}

TEST_P(IconGroupTest, NotAModule) {
  const std::string path = dir_.Write("notes.dll", ByteVector{'h', 'e', 'l', 'l', 'o', '\n'});
  const ResourceName name = ResourceName::FromId(1);
  EXPECT_FALSE(LoadIconGroup(path.c_str(), &name));
  EXPECT_EQ(messages_.Only(), msg::kModuleOpenFailed);
  ASSERT_EQ(messages_.messages.size(), 1u);
  EXPECT_EQ(messages_.messages[0].caption, path);
  // No selection: the module is opened (and closed) without a message.
  messages_.messages.clear();
  const std::string module = Write(Builder().Group(ById(1), GroupDirectory({})).Build().bytes);
  EXPECT_FALSE(LoadIconGroup(module.c_str(), nullptr));
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_P(IconGroupTest, GroupNamesInTheListsOrder) {
  PeBuilder b = Builder();
  for (uint16_t id : {2, 10, 1, 100, 11}) b.Group(ById(id), GroupDirectory({}));
  b.Group(ByName(u"B_X"), GroupDirectory({})).Group(ByName(u"A"), GroupDirectory({}));
  b.Group(ByName(u"\u56fe\u6807"), GroupDirectory({}));  // "图标"
  auto module = platform::OpenModuleAsData(Write(b.Build().bytes).c_str());
  ASSERT_TRUE(module);
  auto entries = ListIconGroups(*module);
  ASSERT_TRUE(entries);
  std::vector<std::string> texts;
  for (const IconGroupEntry& e : *entries) texts.push_back(e.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Icon [1]", "Icon [10]", "Icon [100]", "Icon [11]", "Icon [2]", "Icon [A]",
                                             "Icon [B_X]", "Icon [\xCD\xBC\xB1\xEA]"}));
  // The text name comes out in GBK and finds its group again.
  EXPECT_TRUE(module->FindResourceBytes(platform::kResourceTypeGroupIcon, entries->back().name));
}

TEST_P(IconGroupTest, AModuleWithoutGroupsCannotBeListed) {
  auto module = platform::OpenModuleAsData(Write(Builder().Icon(1, DibImage(16, 16, 4)).Build().bytes).c_str());
  ASSERT_TRUE(module);
  EXPECT_FALSE(ListIconGroups(*module));
}

TEST_P(IconGroupTest, PreviewUsesTheBestImage) {
  ByteVector group = GroupDirectory({{16, 16, 4, 0, 1}, {32, 32, 4, 0, 2}});
  auto module = platform::OpenModuleAsData(
      Write(Builder().Icon(1, DibImage(16, 16, 4)).Icon(2, DibImage(32, 32, 4)).Group(ById(1), group)
                .Group(ById(2), GroupDirectory({{16, 16, 4, 0, 1}}, 2)).Build().bytes)
          .c_str());
  ASSERT_TRUE(module);
  EXPECT_EQ(platform::LookupIconIdFromDirectory(group), 2);
  const ResourceName one = ResourceName::FromId(1), two = ResourceName::FromId(2), three = ResourceName::FromId(3);
  EXPECT_TRUE(LoadGroupPreviewIcon(*module, &one));
  EXPECT_FALSE(LoadGroupPreviewIcon(*module, &two));    // directory cut short
  EXPECT_FALSE(LoadGroupPreviewIcon(*module, &three));  // no such group
  EXPECT_FALSE(LoadGroupPreviewIcon(*module, nullptr));
  EXPECT_TRUE(messages_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, IconGroupTest, testing::Bool());

TEST(IconGroupList, EntryTextsFitTheListBuffer) {
  EXPECT_EQ(IconGroupEntryText(ResourceName::FromId(65535)), "Icon [65535]");
  EXPECT_EQ(IconGroupEntryText(ResourceName::FromText(std::string(300, 'N'))), "Icon [" + std::string(249, 'N'));
  // Double-byte characters are never split: 6 + 2 x 124 bytes.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xCD\xBC";
  EXPECT_EQ(IconGroupEntryText(ResourceName::FromText(wide)).size(), 254u);
}

TEST(IconGroupList, SortsAsASortedListBox) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"Icon [1]", "Icon [10]"},  {"Icon [10]", "Icon [2]"},   {"Icon [_Z]", "Icon [0]"},
      {"Icon [9]", "Icon [a]"},   {"icon [A]", "Icon [b]"},    {"Icon [AB]", "Icon [AC]"},
      {"Icon [A-B]", "Icon [AC]"}, {"Icon [Z]", "Icon [\xCD\xBC]"},
  };
  for (const Case& c : cases) {
    EXPECT_LT(CompareListText(c.before, c.after), 0) << c.before << " / " << c.after;
    EXPECT_GT(CompareListText(c.after, c.before), 0) << c.before << " / " << c.after;
  }
  EXPECT_EQ(CompareListText("Icon [abc]", "ICON [ABC]"), 0);
}

}  // namespace
}  // namespace pk
