#include "platform/registry_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"

using namespace platform;
using namespace std::string_literals;

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00\n\n";

RegistryParseResult parse(std::string_view text) {
    return parseRegistryText(text, kRoot, "user.reg");
}

std::string write(const RegistryNode& root) {
    std::string text;
    appendRegistryText(text, root, kRoot);
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace

TEST(RegistryFile, EveryTypeAndAwkwardNameSurvivesWriteAndRead) {
    RegistryNode root;
    root.setValue("on the root", REG_SZ, "r\0"s);
    RegistryNode& key = root.createSubkey("Software").createSubkey("Name [x]] = \"q\" ;é\xff");
    key.setValue("", REG_SZ, "unnamed\0"s);
    key.setValue("@", REG_SZ, "a value named @\0"s);
    key.setValue("path", REG_SZ, "C:\\Program Files\\x \"y\" = z\0"s);
    key.setValue("with = \"quotes\" \\ and é", REG_SZ, "latin1 \xe9 and \xff\xfe\0"s);
    key.setValue("  spaced  ", REG_SZ, "  \0"s);
    key.setValue("empty text", REG_SZ, "\0"s);
    key.setValue("no bytes", REG_SZ, "");
    key.setValue("no terminator", REG_SZ, "abc");
    key.setValue("inner NUL", REG_SZ, "a\0b\0"s);
    key.setValue("line breaks", REG_SZ, "a\r\nb\0"s);
    key.setValue("dword", REG_DWORD, "\x0c\0\0\0"s);
    key.setValue("short dword", REG_DWORD, "\x01\x02");
    key.setValue("setting", REG_NONE, "\xff\xff\xff\xff");
    key.setValue("qword", REG_QWORD, "\1\2\3\4\5\6\7\x08");
    key.setValue("odd type", 0xFFFFFFFF, "x");
    std::string allBytes;
    for (int i = 0; i < 300; ++i) {
        allBytes.push_back(static_cast<char>(i));
    }
    key.setValue("binary", REG_BINARY, allBytes);
    root.createSubkey("Software").createSubkey("Empty Key");
    root.createSubkey("Deep").createSubkey("Er").createSubkey("Est");

    const std::string text = write(root);
    auto parsed = parse(text);
    ASSERT_FALSE(parsed.error) << parsed.error->text();
    EXPECT_TRUE(parsed.root == root) << text;
    EXPECT_EQ(write(parsed.root), text);
}

TEST(RegistryFile, WritesRegistryEditorText) {
    RegistryNode root;
    RegistryNode& app = root.createSubkey("Software").createSubkey("App");
    app.setValue("", REG_SZ, "x\0"s);
    app.setValue("Path", REG_SZ, "C:\\Dir \"q\"\0"s);
    app.setValue("LOADCTRLS", REG_DWORD, "\x0c\0\0\0"s);
    app.setValue("Raw", REG_BINARY, "\x01\xff");
    app.setValue("Header1", REG_NONE, "d\0\0\0"s);
    app.setValue("Multi", REG_MULTI_SZ, "a\0\0"s);
    EXPECT_EQ(write(root), std::string(kHeader) +
                               "[HKEY_CURRENT_USER\\Software]\n\n"
                               "[HKEY_CURRENT_USER\\Software\\App]\n"
                               "@=\"x\"\n"
                               "\"Path\"=\"C:\\\\Dir \\\"q\\\"\"\n"
                               "\"LOADCTRLS\"=dword:0000000c\n"
                               "\"Raw\"=hex:01,ff\n"
                               "\"Header1\"=hex(0):64,00,00,00\n"
                               "\"Multi\"=hex(7):61,00,00\n\n");
}

TEST(RegistryFile, LongHexDataIsWrappedAndContinuationLinesAreRead) {
    RegistryNode root;
    root.createSubkey("K").setValue("blob", REG_BINARY, std::string(200, '\x5a'));
    const auto written = lines(write(root));
    std::size_t continued = 0;
    for (const auto& line : written) {
        EXPECT_LE(line.size(), 80u) << line;
        continued += line.ends_with(",\\") ? 1 : 0;
    }
    EXPECT_GE(continued, 2u);

    // As regedit writes it on Windows: BOM, CR LF, comments, upper-case digits.
    auto parsed = parse(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
        "[HKEY_CURRENT_USER\\K]\r\n\"b\"=hex:01,0A,\\\r\n  ff, 3 ,\\\r\n\t00\r\n"
        "\"e\"=hex(2):\r\n\"d\"=dword:C\r\n");
    ASSERT_FALSE(parsed.error) << parsed.error->text();
    const RegistryNode* k = parsed.root.findSubkey("k");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->findValue("b")->data, "\x01\x0a\xff\x03\x00"s);
    EXPECT_EQ(k->findValue("e")->type, REG_EXPAND_SZ);
    EXPECT_EQ(k->findValue("e")->data, "");
    EXPECT_EQ(k->findValue("d")->data, "\x0c\0\0\0"s);
}

TEST(RegistryFile, NamesIgnoreCaseKeepTheirSpellingAndOrder) {
    RegistryNode root;
    for (const char* name : {"beta", "Alpha", "_under", "GAMMA"}) {
        root.createSubkey(name);
    }
    bool created = true;
    root.createSubkey("ALPHA", &created).setValue("Value", REG_SZ, "1");
    EXPECT_FALSE(created);
    std::vector<std::string> order;
    for (const auto& entry : root.subkeys()) {
        order.push_back(entry.first);
    }
    // Upper-case folding, as Windows sorts: '_' comes after the letters.
    EXPECT_EQ(order, (std::vector<std::string>{"Alpha", "beta", "GAMMA", "_under"}));

    RegistryNode& key = *root.findSubkey("alpha");
    key.setValue("Second", REG_SZ, "2");
    key.setValue("Third", REG_SZ, "3");
    key.setValue("VALUE", REG_DWORD, "4444");
    EXPECT_EQ(key.values()[0].name, "Value");
    EXPECT_EQ(key.values()[0].type, REG_DWORD);
    EXPECT_TRUE(key.removeValue("value"));
    EXPECT_FALSE(key.removeValue("value"));
    ASSERT_EQ(key.values().size(), 2u);
    EXPECT_EQ(key.findValue("THIRD")->data, "3");
    EXPECT_EQ(key.findValue("second")->data, "2");
}

TEST(RegistryFile, DeletionLinesAndRepeatedSectionsFollowRegedit) {
    auto parsed = parse(std::string(kHeader) +
                        "[HKEY_CURRENT_USER\\A\\B\\C]\n\"v\"=\"1\"\n"
                        "[HKEY_CURRENT_USER\\A]\n\"gone\"=\"x\"\n\"kept\"=\"y\"\n"
                        "[hkey_current_user\\a]\n\"gone\"=-\n\"kept\"=\"z\"\n"
                        "[-HKEY_CURRENT_USER\\A\\B]\n[-HKEY_CURRENT_USER\\Missing\\Too]\n");
    ASSERT_FALSE(parsed.error) << parsed.error->text();
    const RegistryNode* a = parsed.root.findSubkey("A");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->subkeys().empty());
    ASSERT_EQ(a->values().size(), 1u);
    EXPECT_EQ(a->values()[0].data, "z\0"s);
}

TEST(RegistryFile, MalformedTextFailsWithFileAndLine) {
    const std::string head(kHeader);
    const std::string section = head + "[HKEY_CURRENT_USER\\A]\n";
    std::string tooDeep = "[HKEY_CURRENT_USER";
    for (std::size_t i = 0; i <= kMaxKeyDepth; ++i) {
        tooDeep += "\\k";
    }
    const struct {
        std::string text;
        std::size_t line;
    } cases[] = {
        {"REGEDIT5\n", 1},
        {"\xff\xfeW\0i\0"s, 1},
        {head + "\"v\"=\"x\"\n", 3},
        {head + "[HKEY_CURRENT_USER\\A\n", 3},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n", 3},
        {head + "[HKEY_CURRENT_USERX]\n", 3},
        {head + "[HKEY_CURRENT_USER\\\\A]\n", 3},
        {head + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", 3},
        {head + tooDeep + "]\n", 3},
        {head + "[-HKEY_CURRENT_USER]\n", 3},
        {head + "[-HKEY_CURRENT_USER\\A]\n\"v\"=\"x\"\n", 4},
        {head + "junk\n", 3},
        {section + "\"v\"=\"unterminated\n", 4},
        {section + "\"v\"=\"bad \\n escape\"\n", 4},
        {section + "\"a\0b\"=\"x\"\n"s, 4},
        {section + "\"v\"=\"a\rb\"\n", 4},
        {section + "\"v\" \"x\"\n", 4},
        {section + "@x=\"x\"\n", 4},
        {section + "\"v\"=text\n", 4},
        {section + "\"v\"=\"x\" y\n", 4},
        {section + "\"v\"=dword:\n", 4},
        {section + "\"v\"=dword:123456789\n", 4},
        {section + "\"v\"=dword:1 x\n", 4},
        {section + "\"v\"=hex:01,,02\n", 4},
        {section + "\"v\"=hex:01,02,\n", 4},
        {section + "\"v\"=hex:0102\n", 4},
        {section + "\"v\"=hex(1x):00\n", 4},
        {section + "\"v\"=hex(123456789):00\n", 4},
        {section + "\"v\"=hex:01,\\\n", 4},
        {section + "\"v\"=hex:01,\\\n\n\"w\"=\"x\"\n", 5},
        {section + "\"v\"=hex:41,\\\r\n ", 5},
    };
    for (const auto& c : cases) {
        auto parsed = parse(c.text);
        ASSERT_TRUE(parsed.error) << c.text;
        EXPECT_EQ(parsed.error->line, c.line) << c.text << parsed.error->message;
        EXPECT_EQ(parsed.error->text().rfind("user.reg:" + std::to_string(c.line) + ": ", 0), 0u);
        EXPECT_TRUE(parsed.root == RegistryNode{});
    }
}

TEST(RegistryFile, EmptyTextAndDeepestKeyAreAccepted) {
    EXPECT_FALSE(parse("").error);
    std::string deepest = std::string(kHeader) + "[HKEY_CURRENT_USER";
    for (std::size_t i = 0; i < kMaxKeyDepth; ++i) {
        deepest += "\\k";
    }
    auto parsed = parse(deepest + "]\n\"v\"=\"x\"\n");
    ASSERT_FALSE(parsed.error) << parsed.error->text();
    EXPECT_TRUE(parse(write(parsed.root)).root == parsed.root);
}
