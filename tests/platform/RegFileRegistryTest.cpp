// Tests of the registry read from ".reg" exports: values, escapes, deletions, damaged and hostile files.

#include "platform/RegFileRegistry.h"

#include "platform/RegistryReader.h"
#include "tests/support/FakeHome.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

namespace quillbank {
namespace {

using ::quillbank::testing::TFakeHome;

constexpr const char* Header = "Windows Registry Editor Version 5.00\r\n\r\n";

TRegFileRegistry Parse(const std::string& body)
{
    return TRegFileRegistry::FromText(Header + body);
}

/// UTF-16 bytes with a byte-order mark; regedit writes its exports little-endian.
std::string Utf16File(std::u16string_view text, bool bigEndian = false)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const auto low = static_cast<char>(unit & 0xFF);
        const auto high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// Well-formed exports

TEST(RegFileRegistryTest, ReadsStringValuesOfMachineKeys)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Firefox]\r\n"
                                "\"CurrentVersion\"=\"3.6 (de)\"\r\n"
                                "\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Firefox\\3.6 (de)\\Main]\r\n"
                                "\"Install Directory\"=\"C:\\\\Program Files\\\\Mozilla Firefox\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\mozilla\\Mozilla Firefox", "CurrentVersion"), "3.6 (de)");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\mozilla\\Mozilla Firefox\\3.6 (de)\\Main", "Install Directory"),
              "C:\\Program Files\\Mozilla Firefox");
}

TEST(RegFileRegistryTest, UndoesEscapesInValuesAndNames)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Quoted\"=\"say \\\"hi\\\" to \\\\\\\\server\\\\share\"\r\n"
                                "\"Trailing\"=\"C:\\\\Program Files\\\\\"\r\n"
                                "\"Only\\\\Backslash\"=\"a\"\r\n"
                                "\"Only\\\"Quote\"=\"b\"\r\n"
                                "\"Unknown\"=\"tab\\there\"\r\n"
                                "\"Equals=Sign\"=\"c=d\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Quoted"), "say \"hi\" to \\\\server\\share");
    // A value ending in a backslash is not a continued line.
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Trailing"), "C:\\Program Files\\");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Only\\Backslash"), "a");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Only\"Quote"), "b");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Unknown"), "tab\\there");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Equals=Sign"), "c=d");
}

TEST(RegFileRegistryTest, DefaultValueIsTheEmptyName)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "@=\"default\"\r\n"
                                "\"@\"=\"named at\"\r\n"
                                "\"Empty\"=\"\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", ""), "default");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "@"), "named at");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Empty"), "");
}

TEST(RegFileRegistryTest, MissingKeysAndValuesGiveNothing)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Sub]\r\n"
                                "\"Value\"=\"x\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test\\Sub", "Other"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test\\Other", "Value"), std::nullopt);
    // The parent exists but holds no values.
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Value"), std::nullopt);
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\Test\\Other"));
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\Test\\Sub\\Deeper"));
}

TEST(RegFileRegistryTest, KeyExistsForListedKeysAndTheirParents)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla.org\\Mozilla]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty Key]\r\n");
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\mozilla.org\\Mozilla"));
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\mozilla.org"));
    EXPECT_TRUE(registry.KeyExists("SOFTWARE"));
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\Empty Key"));
    // Parents are whole path components, not text prefixes.
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\mozilla"));
    EXPECT_FALSE(registry.KeyExists("SOFT"));
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\Empty"));
}

TEST(RegFileRegistryTest, LookupIgnoresCaseAndRedundantBackslashes)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mozilla\\Mozilla Thunderbird]\r\n"
                                "\"CurrentVersion\"=\"2.0.0.14 (en-US)\"\r\n");
    for (const char* key :
         {"software\\MOZILLA\\mozilla thunderbird", "\\SOFTWARE\\Mozilla\\Mozilla Thunderbird\\",
          "SOFTWARE\\\\Mozilla\\\\\\Mozilla Thunderbird"}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(registry.KeyExists(key));
        EXPECT_EQ(registry.ReadString(key, "currentversion"), "2.0.0.14 (en-US)");
        EXPECT_EQ(registry.ReadString(key, "CURRENTVERSION"), "2.0.0.14 (en-US)");
    }
}

TEST(RegFileRegistryTest, AcceptsHiveAbbreviationAndMergesRepeatedKeys)
{
    const auto registry = Parse("[hklm\\SOFTWARE\\Test]\r\n"
                                "\"A\"=\"1\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\software\\test]\r\n"
                                "\"B\"=\"2\"\r\n"
                                "\"a\"=\"replaced\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "A"), "replaced");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "B"), "2");
}

TEST(RegFileRegistryTest, SkipsOtherHivesWithTheirValues)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Machine\"=\"m\"\r\n"
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Test]\r\n"
                                "\"User\"=\"u\"\r\n"
                                "[HKEY_LOCAL_MACHINE_EXTRA\\SOFTWARE\\Test]\r\n"
                                "\"Extra\"=\"e\"\r\n"
                                "[HKEY_CLASSES_ROOT\\SOFTWARE\\Other]\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Machine"), "m");
    // Values below a skipped key do not land in the machine key before it.
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "User"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Extra"), std::nullopt);
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\Other"));
}

TEST(RegFileRegistryTest, DeletesKeysWithTheirSubkeysOnly)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
                                "\"V\"=\"a\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\Sub]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A 2]\r\n"
                                "\"V\"=\"sibling\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AB]\r\n"
                                "[-HKEY_LOCAL_MACHINE\\software\\a]\r\n"
                                "\"V\"=\"after the deletion\"\r\n"
                                "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Never Defined]\r\n");
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\A"));
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\A\\Sub"));
    EXPECT_EQ(registry.ReadString("SOFTWARE\\A", "V"), std::nullopt);
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\A 2"));
    EXPECT_EQ(registry.ReadString("SOFTWARE\\A 2", "V"), "sibling");
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\AB"));
}

TEST(RegFileRegistryTest, DeletedKeyCanBeDefinedAgain)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
                                "\"Old\"=\"o\"\r\n"
                                "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
                                "\"New\"=\"n\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\A", "Old"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\A", "New"), "n");
}

TEST(RegFileRegistryTest, DeletesValues)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Gone\"=\"x\"\r\n"
                                "@=\"default\"\r\n"
                                "\"Kept\"=\"y\"\r\n"
                                "\"GONE\"=-\r\n"
                                "@=-\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Gone"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", ""), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Kept"), "y");
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\Test"));
}

TEST(RegFileRegistryTest, NonTextValuesHoldNoText)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Number\"=\"text first\"\r\n"
                                "\"Number\"=dword:0000001f\r\n"
                                "\"Binary\"=hex:41,42,43,00\r\n"
                                "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
                                "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                                "\"After\"=\"still read\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Number"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Binary"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Multi"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Qword"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "After"), "still read");
}

TEST(RegFileRegistryTest, HexStringValuesAreDecoded)
{
    // "%ProgramFiles%\Ä" as UTF-16LE, continued over three lines.
    const auto unicode =
        Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
              "\"Expand\"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,\\\r\n"
              "  69,00,6c,00,65,00,73,00,25,00,5c,00,\\\r\n"
              "  c4,00,00,00\r\n"
              "\"Plain\"=hex(1):41,00,00,00\r\n"
              "\"After\"=\"x\"\r\n");
    EXPECT_EQ(unicode.ReadString("SOFTWARE\\Test", "Expand"), "%ProgramFiles%\\\xC3\x84");
    EXPECT_EQ(unicode.ReadString("SOFTWARE\\Test", "Plain"), "A");
    EXPECT_EQ(unicode.ReadString("SOFTWARE\\Test", "After"), "x");

    const auto ansi = TRegFileRegistry::FromText("REGEDIT4\r\n\r\n"
                                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                                 "\"Expand\"=hex(2):25,50,25,00\r\n");
    EXPECT_EQ(ansi.ReadString("SOFTWARE\\Test", "Expand"), "%P%");
}

TEST(RegFileRegistryTest, AcceptsOldHeaderLineEndsCommentsAndBlanks)
{
    const auto registry = TRegFileRegistry::FromText("REGEDIT4\n"
                                                     "; exported for a test\n"
                                                     "\n"
                                                     "  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]  \n"
                                                     "; \"Commented\"=\"no\"\n"
                                                     "\t\"Indented\" = \"yes\"\t\n"
                                                     "\"Commented after\"=\"ok\" ; note\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Indented"), "yes");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Commented"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Commented after"), "ok");
}

TEST(RegFileRegistryTest, ReadsUtf16ExportsWithByteOrderMark)
{
    const auto registry =
        TRegFileRegistry::FromText(Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                             u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Müller]\r\n"
                                             u"\"Install Directory\"=\"C:\\\\Programme\\\\Größe\"\r\n"));
    EXPECT_EQ(registry.ReadString("SOFTWARE\\M\xC3\xBCller", "Install Directory"),
              "C:\\Programme\\Gr\xC3\xB6\xC3\x9F"
              "e");
}

TEST(RegFileRegistryTest, ReadsFilesAndTreatsMissingFilesAsEmpty)
{
    TFakeHome home;
    const std::string path =
        home.WriteFile("export.reg", Utf16File(u"Windows Registry Editor Version 5.00\r\n"
                                               u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                               u"\"Value\"=\"from file\"\r\n"));
    EXPECT_EQ(TRegFileRegistry::FromFile(path).ReadString("SOFTWARE\\Test", "Value"), "from file");

    const auto missing = TRegFileRegistry::FromFile(home.Path() + "/missing.reg");
    EXPECT_FALSE(missing.KeyExists("SOFTWARE"));
    const auto folder = TRegFileRegistry::FromFile(home.Path());
    EXPECT_FALSE(folder.KeyExists("SOFTWARE"));
}

// ---------------------------------------------------------------------------
// Damaged and hostile input: never a crash, and what is well-formed still counts.

TEST(RegFileRegistryHostileTest, WithoutValidHeaderNothingIsRead)
{
    const std::string body = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n\"Value\"=\"x\"\r\n";
    for (const std::string& text :
         {body, "; comment\r\n" + body, "Windows Registry Editor Version 4.00\r\n" + body,
          "REGEDIT\r\n" + body, "REGEDIT4 extra\r\n" + body, std::string(), std::string("\r\n\r\n")}) {
        const auto registry = TRegFileRegistry::FromText(text);
        EXPECT_FALSE(registry.KeyExists("SOFTWARE\\Test")) << text;
        EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Value"), std::nullopt) << text;
    }
}

TEST(RegFileRegistryHostileTest, UnterminatedQuotesAreSkipped)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Open Name=\"x\r\n"
                                "\"Open Value\"=\"never closed\r\n"
                                "\"Escaped End\"=\"ends in \\\"\r\n"
                                "\"Odd\\\\\\\"=\"x\"\r\n"
                                "\"Junk After\"=\"x\" y\r\n"
                                "\"\r\n"
                                "\"Good\"=\"g\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Open Value"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Escaped End"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Junk After"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Good"), "g");
}

TEST(RegFileRegistryHostileTest, MalformedValueLinesAreSkipped)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Kept\"=\"k\"\r\n"
                                "\"Kept\"=dword:xyz\r\n"
                                "\"Kept\"=dword:123456789\r\n"
                                "\"Kept\"=hex:4g\r\n"
                                "\"Kept\"=hex:41,,42\r\n"
                                "\"Kept\"=hex:123\r\n"
                                "\"Kept\"=hex(2:41,00\r\n"
                                "\"Kept\"=hex(zz):41,00\r\n"
                                "\"Kept\"=unknown:1\r\n"
                                "\"Kept\"=\r\n"
                                "\"Kept\"\r\n"
                                "\"Kept\" \"x\"\r\n"
                                "@\r\n"
                                "@\"x\"\r\n"
                                "=\"x\"\r\n"
                                "Bare=\"x\"\r\n"
                                "=\r\n"
                                "\\\\\\\\\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Kept"), "k");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", ""), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Bare"), std::nullopt);
}

TEST(RegFileRegistryHostileTest, KeyLineWithoutClosingBracketEndsTheCurrentKey)
{
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"Before\"=\"b\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Broken\r\n"
                                "\"After\"=\"a\"\r\n"
                                "[\r\n"
                                "[]\r\n"
                                "[-]\r\n"
                                "[\\]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Next]\r\n"
                                "\"Value\"=\"n\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Before"), "b");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "After"), std::nullopt);
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\Broken"));
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Next", "Value"), "n");
}

TEST(RegFileRegistryHostileTest, ValuesBeforeAnyKeyAreIgnored)
{
    const auto registry = Parse("\"Loose\"=\"x\"\r\n"
                                "@=\"y\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n");
    EXPECT_EQ(registry.ReadString("", "Loose"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Loose"), std::nullopt);
    EXPECT_EQ(registry.ReadString("", ""), std::nullopt);
}

TEST(RegFileRegistryHostileTest, HexContinuationAtEndOfFileOrIntoGarbage)
{
    const auto atEnd = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                             "\"Good\"=\"g\"\r\n"
                             "\"Open\"=hex(2):41,00,\\");
    EXPECT_EQ(atEnd.ReadString("SOFTWARE\\Test", "Good"), "g");

    // A blank line ends the continuation; the next key is read normally.
    const auto intoBlank = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                 "\"Open\"=hex:41,\\\r\n"
                                 "\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Next]\r\n"
                                 "\"Value\"=\"n\"\r\n");
    EXPECT_EQ(intoBlank.ReadString("SOFTWARE\\Next", "Value"), "n");

    // Continued lines of a skipped hive are not mistaken for anything.
    const auto skipped = Parse("[HKEY_CURRENT_USER\\SOFTWARE\\Test]\r\n"
                               "\"Bin\"=hex:41,\\\r\n"
                               "  42\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                               "\"Value\"=\"v\"\r\n");
    EXPECT_EQ(skipped.ReadString("SOFTWARE\\Test", "Value"), "v");
    EXPECT_EQ(skipped.ReadString("SOFTWARE\\Test", "Bin"), std::nullopt);
}

TEST(RegFileRegistryHostileTest, HugeLinesAreHandled)
{
    const std::string hugeText(4 << 20, 'x');
    std::string hugeHex;
    for (int i = 0; i < (1 << 20); ++i)
        hugeHex += "41,00,";
    const auto registry =
        Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + hugeText + "]\r\n\"V\"=\"k\"\r\n" +
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
              "\"Huge\"=\"" +
              hugeText + "\"\r\n\"" + hugeText + "\"=\"long name\"\r\n" + "\"HugeHex\"=hex(2):" + hugeHex +
              "00,00\r\n" + "\"Unterminated\"=\"" + hugeText + "\r\n" + "\"After\"=\"a\"\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\" + hugeText, "V"), "k");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "Huge"), hugeText);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", hugeText), "long name");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "HugeHex"), std::string(1 << 20, 'A'));
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "After"), "a");
}

TEST(RegFileRegistryHostileTest, ManyContinuedLinesAndDeepKeys)
{
    std::string continued = "\"Bin\"=hex:";
    for (int i = 0; i < 200000; ++i)
        continued += "41,\\\r\n  ";
    continued += "42\r\n";
    std::string deep = "SOFTWARE";
    for (int i = 0; i < 20000; ++i)
        deep += "\\k";
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n" + continued +
                                "\"After\"=\"a\"\r\n" + "[HKEY_LOCAL_MACHINE\\" + deep + "]\r\n");
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "After"), "a");
    EXPECT_TRUE(registry.KeyExists(deep));
    EXPECT_TRUE(registry.KeyExists("SOFTWARE\\k\\k"));
}

TEST(RegFileRegistryHostileTest, NulBytesStayInsideTheirLine)
{
    using namespace std::string_literals;
    const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                "\"With\0Nul\"=\"a\0b\"\r\n"
                                "\0\0\0\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Nul\0Key]\r\n"
                                "\"After\"=\"x\"\r\n"s);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "With\0Nul"s), "a\0b"s);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Test", "With"), std::nullopt);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Nul\0Key"s, "After"), "x");
}

TEST(RegFileRegistryHostileTest, BinaryJunkNeverCrashes)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    // Mostly the characters that steer the parser, so that junk reaches every branch.
    const std::string steering = "[]\\\"@=-;:,()hexdword0123456789abcdefHKLM \t\r\n";
    std::uniform_int_distribution<std::size_t> pick(0, steering.size() - 1);
    for (int round = 0; round < 200; ++round) {
        std::string junk;
        for (int i = 0; i < 2000; ++i)
            junk += round % 2 == 0 ? static_cast<char>(byte(random)) : steering[pick(random)];
        const auto registry = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Junk]\r\n" + junk +
                                    "\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                    "\"After\"=\"a\"\r\n");
        ASSERT_EQ(registry.ReadString("SOFTWARE\\Test", "After"), "a") << "round " << round;
        registry.KeyExists(junk);
        registry.ReadString(junk, junk);
    }
}

TEST(RegFileRegistryHostileTest, BrokenUtf16FilesNeverCrash)
{
    const std::string valid = Utf16File(u"Windows Registry Editor Version 5.00\r\n"
                                        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
                                        u"\"Value\"=\"v\"\r\n");
    // Cut anywhere (odd lengths included), lone surrogates, and a big-endian mark.
    for (std::size_t length = 0; length <= valid.size(); length += 7)
        TRegFileRegistry::FromText(valid.substr(0, length));
    std::u16string surrogates = u"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"V\"=\"";
    surrogates += {char16_t(0xD800), char16_t(0xDC00), char16_t(0xDC00), u'"', char16_t(0xDBFF)};
    TRegFileRegistry::FromText(Utf16File(surrogates));
    const auto bigEndian = TRegFileRegistry::FromText(Utf16File(u"REGEDIT4\n[HKLM\\A]\n", true));
    EXPECT_TRUE(bigEndian.KeyExists("A"));
    EXPECT_TRUE(TRegFileRegistry::FromText(valid).KeyExists("SOFTWARE\\Test"));
    // The same content without its byte-order mark is not recognised.
    EXPECT_FALSE(TRegFileRegistry::FromText(valid.substr(2)).KeyExists("SOFTWARE\\Test"));
}

} // namespace
} // namespace quillbank
