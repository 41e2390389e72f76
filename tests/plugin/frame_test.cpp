// The module's record and factory, the class's binary shape, start-up and shut-down.
#include <climits>
#include <cstring>

#include "plugin_fixture.h"

namespace {

template <class T>
std::uint64_t Field(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return static_cast<std::uint64_t>(value);
}

TEST(Record, HasTheLayoutTheHostReads) {
    static_assert(sizeof(PluginInfo) == 64);
    const void* record = &exports;
    EXPECT_EQ(Field<std::uint32_t>(record, 0), 95u);
    EXPECT_EQ(Field<std::uint32_t>(record, 4), 0u);
    auto text = [&](std::size_t offset) { return std::string(reinterpret_cast<const char*>(Field<std::uintptr_t>(record, offset))); };
    EXPECT_NE(text(8).find("Vantrel.cpp"), std::string::npos);
    EXPECT_EQ(text(16), "Vantrel");
    EXPECT_EQ(text(24), "Vantrel Plugin");
    EXPECT_EQ(text(32), "1.0");
    EXPECT_EQ(Field<std::uint64_t>(record, 40), 0u);
    EXPECT_EQ(Field<std::uintptr_t>(record, 48), reinterpret_cast<std::uintptr_t>(&getPlugin));
    EXPECT_EQ(Field<std::uintptr_t>(record, 56), reinterpret_cast<std::uintptr_t>(&deleteMe));
}

// Slot of a virtual member function in its vtable (Itanium ABI: 1 + byte offset).
template <class F>
std::ptrdiff_t Slot(F member) {
    std::uintptr_t raw[2];
    static_assert(sizeof(member) == sizeof raw);
    std::memcpy(raw, &member, sizeof raw);
    return static_cast<std::ptrdiff_t>((raw[0] - 1) / sizeof(void*));
}

TEST(ClassShape, VirtualTablesKeepTheirOrder) {
    EXPECT_EQ(Slot(&BakkesModPlugin::onLoad), 0);
    EXPECT_EQ(Slot(&BakkesModPlugin::onUnload), 1);
    EXPECT_EQ(Slot(&Vantrel::RenderRow), 2);
    EXPECT_EQ(Slot(&Vantrel::CvarSlider), 3);
    EXPECT_EQ(Slot(&Vantrel::GetModeIndex), 4);
    EXPECT_EQ(Slot(&Vantrel::Log), 6);
    EXPECT_EQ(Slot(&Vantrel::OnMatchStarted), 7);
    EXPECT_EQ(Slot(&Vantrel::BindFloatCvar), 8);
    // The settings interface: the destructor takes two slots, then the three operations.
    EXPECT_EQ(Slot(&PluginSettingsWindow::DrawSettings), 2);
    EXPECT_EQ(Slot(&PluginSettingsWindow::SettingsTabName), 3);
    EXPECT_EQ(Slot(&PluginSettingsWindow::SetGuiContext), 4);
}

TEST(ClassShape, HostBaseIsAtTheStartOfTheObject) {
    vtest::FakeHost host;
    auto* owner = reinterpret_cast<std::shared_ptr<Vantrel>*>(getPlugin());
    Vantrel* plugin = owner->get();
    EXPECT_EQ(static_cast<void*>(static_cast<BakkesModPlugin*>(plugin)), static_cast<void*>(plugin));
    EXPECT_EQ(plugin->SettingsTabName(), "Vantrel");
    deleteMe();
}

TEST(Factory, OneObjectUntilReleasedThenAFreshOne) {
    deleteMe();  // harmless with no object
    const std::uintptr_t first = getPlugin();
    Vantrel* object = reinterpret_cast<std::shared_ptr<Vantrel>*>(first)->get();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(getPlugin(), first);
    EXPECT_EQ(reinterpret_cast<std::shared_ptr<Vantrel>*>(getPlugin())->get(), object);
    object->wins[1] = 7;
    object->deltaMMR[2] = 3.5f;

    deleteMe();
    EXPECT_EQ(instanceOwner, nullptr);
    deleteMe();  // a second release is harmless too

    Vantrel* fresh = reinterpret_cast<std::shared_ptr<Vantrel>*>(getPlugin())->get();
    ASSERT_NE(fresh, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fresh->wins[i], 0);
        EXPECT_EQ(fresh->losses[i], 0);
        EXPECT_EQ(fresh->mmr[i], 0.0f);
        EXPECT_EQ(fresh->deltaMMR[i], 0.0f);
    }
    EXPECT_EQ(fresh->modeLabels[3], "Other");
    EXPECT_EQ(fresh->rankTables.size(), 3u);
    deleteMe();
}

TEST(Factory, HostShareKeepsTheObjectAfterRelease) {
    std::shared_ptr<BakkesModPlugin> hostShare = *reinterpret_cast<std::shared_ptr<BakkesModPlugin>*>(getPlugin());
    std::weak_ptr<BakkesModPlugin> watch = hostShare;
    deleteMe();
    EXPECT_FALSE(watch.expired());
    hostShare.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(ModeIndex, MapsRankedPlaylistsAndEverythingElseToOther) {
    Vantrel plugin;
    const std::pair<int, int> cases[] = {{10, 0}, {11, 1}, {13, 2}, {12, 3}, {0, 3},
                                         {-1, 3}, {14, 3}, {INT_MIN, 3}, {INT_MAX, 3}};
    for (auto [playlist, mode] : cases) EXPECT_EQ(plugin.GetModeIndex(playlist), mode) << playlist;
}

using StartUp = PluginTest;

TEST_F(StartUp, SeedsRankedModesAndRegistersInOrder) {
    host.rating = {{10, 1010.5f}, {11, 1111.0f}, {13, 1313.25f}, {12, 999.0f}};
    host.rank = {{10, {7, 1, 0}}, {11, {8, 2, 0}}, {13, {9, 3, 0}}, {12, {5, 0, 0}}};
    Vantrel& plugin = host.Load();

    EXPECT_EQ(plugin.mmr[0], 1010.5f);
    EXPECT_EQ(plugin.mmr[1], 1111.0f);
    EXPECT_EQ(plugin.mmr[2], 1313.25f);
    EXPECT_EQ(plugin.mmr[3], 0.0f);
    EXPECT_EQ(plugin.ranks[2].Tier, 9);
    EXPECT_EQ(plugin.ranks[2].Division, 3);
    EXPECT_EQ(plugin.ranks[3].Tier, 0);
    EXPECT_EQ(plugin.deltaMMR[0], 0.0f);  // the known rating at start is not a change

    const std::vector<std::string> expected = {
        "GetPlayerMMR 10",  // the start-up poll's first check
        "GetPlayerRank 10",
        "GetPlayerMMR 10", "GetPlayerMMR 11", "GetPlayerMMR 13",
        "GetPlayerRank 10", "GetPlayerRank 11", "GetPlayerRank 13",
        "registerCvar vantrel_enabled \"1\" \"Enables/disable Vantrel Stats\" 1 1 0 1 1 1",
        "bindTo vantrel_enabled",
        "registerCvar vantrel_pos_x \"10\" \"Left Position\" 1 1 0 0 0 1",
        "bindTo vantrel_pos_x",
        "registerCvar vantrel_pos_y \"350\" \"Top Position\" 1 1 0 0 0 1",
        "bindTo vantrel_pos_y",
        "registerCvar vantrel_show_menu \"0\" \"Show Vantrel menu\" 1 1 0 1 1 1",
        "registerNotifier vantrel_show_menu \"Show Vantrel menu\" 0",
        "HookEventWithCaller Function TAGame.GameEvent_Soccar_TA.EventMatchStarted",
        "HookEventWithCaller Function TAGame.GameEvent_Soccar_TA.EventMatchEnded",
        "RegisterDrawable",
        "HookEvent Function TAGame.GFxHUD_TA.OpenScoreboard",
        "HookEvent Function TAGame.GFxHUD_TA.CloseScoreboard",
    };
    EXPECT_EQ(host.ops, expected);
    EXPECT_TRUE(*plugin.enabled);
    EXPECT_EQ(*plugin.posX, 10.0f);
    EXPECT_EQ(*plugin.posY, 350.0f);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"CheckMMRUpdate: mmr: 1010.50, initialMMR: 0.00, count: 0"});
}

TEST_F(StartUp, FailedRatingQueryLeavesNothingRegistered) {
    host.rating = {{10, 1000.0f}};
    host.throwIn = "GetPlayerMMR";
    Vantrel& plugin = host.Load();
    EXPECT_TRUE(host.cvars.Variables().empty());
    EXPECT_TRUE(host.commands.empty());
    EXPECT_EQ(host.DrawFrame(), std::vector<std::string>{});
    EXPECT_EQ(host.PendingTimers(), 0u);
    // The shared values exist but were never bound.
    EXPECT_FALSE(*plugin.enabled);
    EXPECT_EQ(*plugin.posY, 850.0f);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"OnLoad Exception: injected fault in GetPlayerMMR"});
}

TEST_F(StartUp, FailedRegistrationKeepsWhatWasRegistered) {
    host.throwIn = "registerNotifier";
    host.Load();
    EXPECT_EQ(host.cvars.Variables().size(), 4u);
    EXPECT_TRUE(host.commands.empty());
    EXPECT_EQ(host.DrawFrame(), std::vector<std::string>{});
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"OnLoad Exception: injected fault in registerNotifier"});
}

TEST_F(StartUp, NonFiniteSeedIsNoRating) {
    host.rating = {{10, 1000.0f}, {11, std::numeric_limits<float>::quiet_NaN()},
                   {13, std::numeric_limits<float>::infinity()}};
    Vantrel& plugin = host.Load();
    EXPECT_EQ(plugin.mmr[1], 0.0f);
    EXPECT_EQ(plugin.mmr[2], 0.0f);
}

TEST_F(StartUp, MenuCommandOpensTheMenuWhateverItsArguments) {
    host.Load();
    host.commands.at("vantrel_show_menu")({});
    host.commands.at("vantrel_show_menu")({"extra", "words"});
    EXPECT_EQ(host.executed, (std::vector<std::string>{"openmenu vantrel log=0", "openmenu vantrel log=0"}));
}

TEST_F(StartUp, UnloadClosesTheLogAndRemovesOnlyTheDrawable) {
    Vantrel& plugin = host.Load();
    host.ops.clear();
    plugin.onUnload();
    EXPECT_EQ(host.ops, std::vector<std::string>{"UnregisterDrawables"});
    EXPECT_FALSE(plugin.logFile.is_open());
    plugin.Log("after unload");
    EXPECT_TRUE(LogMessages().empty() || LogMessages().back() != "after unload");
    EXPECT_EQ(host.cvars.Variables().size(), 4u);
}

TEST_F(StartUp, ExistingLogIsKeptAndAppendedTo) {
    { std::ofstream("VantrelLog.txt") << "2020-01-01 00:00:00 - from last time\n"; }
    host.rating = {{10, 500.0f}};
    host.Load();
    const auto messages = LogMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "from last time");
}

TEST_F(StartUp, EmptyMessageEndsInTheSeparator) {
    Vantrel& plugin = host.Load();
    plugin.Log("");
    plugin.Log("two\nlines");
    const std::string text = vtest::ReadFile("VantrelLog.txt");
    ASSERT_EQ(text.size(), 22u + 1u + 22u + 10u);
    EXPECT_EQ(text.substr(19, 4), " - \n");
    EXPECT_EQ(text.substr(23 + 19), " - two\nlines\n");
}

}  // namespace
