// Settings as 4-byte values under the product key, HKEY_LOCAL_MACHINE first and
// HKEY_CURRENT_USER when the machine's root cannot be used.

#include "plugin/model/settings.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "cadhost/sdk/rxregsvc.h"
#include "platform/registry.h"
#include "support/temp_prefix.h"

namespace {

using namespace platform;
using lnkhold::readSetting;
using lnkhold::writeSetting;

const std::string kKey = std::string(acrxProductKey()) + "\\Applications\\Linkhold16\\Settings";

void setRaw(HKEY root, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, kKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class Settings : public ::testing::Test {
  protected:
    void TearDown() override { setRegistryRootReadOnly(HKEY_LOCAL_MACHINE, false); }
    testsupport::TempPrefix prefix;
};

TEST_F(Settings, MissingValuesGiveTheDefault) {
    EXPECT_EQ(readSetting("Header1", 100), 100);
    EXPECT_EQ(readSetting("AutoAttach", 1), 1);
}

TEST_F(Settings, ValuesAreFourBytesOfTypeNoneUnderTheMachineRoot) {
    writeSetting("InsertionLayer", -1);
    writeSetting("Header3", 250);
    EXPECT_EQ(readSetting("InsertionLayer", 0), -1);
    EXPECT_EQ(readSetting("Header3", 100), 250);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 99;
    std::array<BYTE, 8> data{};
    DWORD size = data.size();
    ASSERT_EQ(RegQueryValueExA(key, "Header3", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, REG_NONE);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(data[0], 250);
    EXPECT_EQ(data[1] | data[2] | data[3], 0);
}

TEST_F(Settings, AReadOnlyMachineRootSendsValuesToTheUser) {
    ASSERT_EQ(setRegistryRootReadOnly(HKEY_LOCAL_MACHINE, true), ERROR_SUCCESS);
    writeSetting("AutoAttach", 0);
    EXPECT_EQ(readSetting("AutoAttach", 1), 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Settings, OnceTheMachineHasTheKeyTheUsersValuesAreNotConsulted) {
    const std::int32_t zero = 0;
    setRaw(HKEY_CURRENT_USER, "AutoAttach", REG_NONE, &zero, 4);
    EXPECT_EQ(readSetting("AutoAttach", 1), 0);
    writeSetting("Header1", 80);  // creates the machine's key
    EXPECT_EQ(readSetting("AutoAttach", 1), 1);
}

TEST_F(Settings, ADwordFromAnotherToolIsReadAndOtherSizesAreNot) {
    const std::uint32_t width = 180;
    setRaw(HKEY_LOCAL_MACHINE, "Header2", REG_DWORD, &width, 4);
    EXPECT_EQ(readSetting("Header2", 100), 180);

    const std::uint64_t wide = 7;
    setRaw(HKEY_LOCAL_MACHINE, "Header4", REG_BINARY, &wide, 8);
    EXPECT_EQ(readSetting("Header4", 100), 100);
    const std::uint16_t narrow = 7;
    setRaw(HKEY_LOCAL_MACHINE, "Header5", REG_BINARY, &narrow, 2);
    EXPECT_EQ(readSetting("Header5", 100), 100);
}

}  // namespace
