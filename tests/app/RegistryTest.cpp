#include "platform/Registry.h"
#include "tests/app/AppFixture.h"

namespace {

using RegistryTest = AppFixture;

TEST_F(RegistryTest, LongSkinReadsBackCut) {
  ASSERT_TRUE(SetRegString(u"Program", u"Skin", std::u16string(70, u's')));
  const std::u16string expected = std::u16string(61, u's') + u"..";
  std::u16string skin;
  EXPECT_TRUE(GetRegString(RegistryProfile::kSkin, skin, true));
  EXPECT_EQ(skin, expected);

  ASSERT_TRUE(InitAppData());
  EXPECT_EQ(g_SkinName, expected);
}

TEST_F(RegistryTest, StoredTextsLongerThan511CharactersCountAsAbsent) {
  const struct {
    std::size_t stored;
    bool read;
  } cases[] = {{0, true}, {511, true}, {512, false}, {2000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(SetRegString(u"User", u"Name", std::u16string(c.stored, u'x')));
    std::u16string out = u"junk";
    EXPECT_EQ(GetRegString(u"User", u"Name", u"fallback", out, 1024, true), c.read);
    EXPECT_EQ(out, c.read ? std::u16string(c.stored, u'x') : u"fallback");
  }
}

TEST_F(RegistryTest, MissingValuesGiveTheDefaultCutToTheField) {
  std::u16string out;
  EXPECT_FALSE(GetRegString(u"TextTool", u"Font", u"A very long default face name", out, 8, true));
  EXPECT_EQ(out, u"A ver..");
  EXPECT_EQ(GetRegDword(RegistryProfile::kLastCheckVersion, true), 100u);
  // A text where a number is expected is not a number.
  ASSERT_TRUE(SetRegString(u"Program", u"Animation", u"1"));
  EXPECT_EQ(GetRegDword(RegistryProfile::kAnimation, true), 0u);
  ASSERT_TRUE(SetRegDword(u"Program", u"Animation", 1));
  EXPECT_EQ(GetRegDword(RegistryProfile::kAnimation, true), 1u);
}

TEST_F(RegistryTest, MachineWideValuesAreReadAndNeverWritten) {
  std::filesystem::create_directories(MachineSettings().parent_path());
  {
    std::ofstream(MachineSettings())
        << "AllowUpgrade=dword:0\n[Program]\nLanguage=sz:Deutsch\n[Version]\nCarvello=dword:2\n";
  }
  const auto machineBefore = ReadBytes(MachineSettings());

  // The user has no language: the machine's is the fallback.
  std::u16string language;
  EXPECT_FALSE(GetRegString(RegistryProfile::kLanguage, language, true));
  EXPECT_TRUE(GetRegString(RegistryProfile::kLanguage, language, false));
  EXPECT_EQ(language, u"Deutsch");
  EXPECT_EQ(GetRegDword(RegistryProfile::kProductKey, RegistryProfile::kAllowUpgrade, 1, false), 0u);

  ASSERT_TRUE(InitAppData());
  EXPECT_EQ(g_PublisherEdition, 2u);

  ASSERT_TRUE(SetRegString(u"Program", u"Language", u"Fran\u00e7ais"));
  EXPECT_TRUE(GetRegString(RegistryProfile::kLanguage, language, true));
  EXPECT_EQ(language, u"Fran\u00e7ais");
  EXPECT_EQ(ReadBytes(MachineSettings()), machineBefore);
}

}  // namespace
