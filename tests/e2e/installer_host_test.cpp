// The installer and the host meet only in the registry: the installer must find the product
// key the host writes on its first start, and the host must read back, as demand-load entries,
// exactly what the installer registered there.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cadhost/app/demand_loader.h"
#include "cadhost/app/host_registration.h"
#include "setup/demand_load.h"
#include "support/temp_prefix.h"

namespace {

struct SilentMessages {
    std::vector<std::string> captions;
    setup::MessageSink sink() {
        return [this](const std::string&, const std::string& caption, platform::UINT) {
            captions.push_back(caption);
            return 1;
        };
    }
};

}  // namespace

TEST(InstallerAndHost, InstallerFindsTheHostAndTheHostReadsTheRegistration) {
    testsupport::TempPrefix prefix;
    ASSERT_EQ(cadhost::app::registerHost(), "");

    const setup::CRegistryKey registry;
    const auto products = setup::discoverProducts(registry);
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(products[0].keyPath, cadhost::app::kProductKey);
    EXPECT_EQ(products[0].label, std::string(cadhost::app::kProductName) + "  -  " +
                                     cadhost::app::kRelease + " (" + cadhost::app::kProductKeyName +
                                     ")");

    SilentMessages messages;
    setup::DemandLoadRegistration(registry, messages.sink())
        .install({products[0].keyPath}, "C:\\Program Files\\Tarnwick\\Linkhold16");
    EXPECT_EQ(messages.captions, std::vector<std::string>{"Installation complete"});

    const auto app = cadhost::app::registeredApplication("Linkhold16");
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ(app->loadControls, 12u);
    EXPECT_EQ(app->loader, "C:\\Program Files\\Tarnwick\\Linkhold16\\Linkhold16.arx");
    ASSERT_EQ(app->commands.size(), 2u);
    EXPECT_EQ(app->commands[0], (std::pair<std::string, std::string>{"Linkhold", "LKH"}));
    EXPECT_EQ(app->commands[1], (std::pair<std::string, std::string>{"-Linkhold", "-LKH"}));
}

TEST(InstallerAndHost, UninstallLeavesTheHostNothingToLoad) {
    testsupport::TempPrefix prefix;
    ASSERT_EQ(cadhost::app::registerHost(), "");
    const setup::CRegistryKey registry;
    SilentMessages messages;
    const setup::DemandLoadRegistration registration(registry, messages.sink());
    registration.install({cadhost::app::kProductKey}, "C:\\Linkhold16");
    ASSERT_TRUE(cadhost::app::registeredApplication("Linkhold16").has_value());

    registration.uninstall({cadhost::app::kProductKey});
    EXPECT_FALSE(cadhost::app::registeredApplication("Linkhold16").has_value());
    EXPECT_FALSE(cadhost::app::demandLoadForCommand("LKH"));
}
