// The vantrel-host program as a person runs it: command line, exit statuses, refused
// modules, script errors, the configuration file and the picture commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "program.h"
#include "run_host.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using vtest::HostRun;
using vtest::HostRunOptions;
using vtest::RunHost;

HostRunOptions Probe() {
    HostRunOptions options;
    options.plugin = PROBE_PLUGIN;
    return options;
}

std::string BadModule(const std::string& name) { return std::string(HOST_TEST_MODULE_DIR) + "/bad_" + name + ".so"; }

struct Refusal {
    const char* module;
    const char* reason;
};

class RefusedModule : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedModule, AtStartUpExitsTwoNamingTheModuleAndTheProblem) {
    HostRunOptions options;
    options.plugin = BadModule(GetParam().module);
    const HostRun run = RunHost("echo never\n", options);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("vantrel-host: cannot load plug-in " + options.plugin.string() + ": "));
    EXPECT_THAT(run.err, HasSubstr(GetParam().reason));
}

TEST_P(RefusedModule, ByALoadCommandExitsTwoAfterSaving) {
    HostRunOptions options = Probe();
    const HostRun run = RunHost("set probe_value 3\nload " + BadModule(GetParam().module) + "\necho never\n", options);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("script.vsh:2: error: cannot load plug-in "));
    EXPECT_THAT(run.err, HasSubstr(GetParam().reason));
    EXPECT_THAT(run.out, Not(HasSubstr("never")));
    EXPECT_THAT(run.Config(), HasSubstr("probe_value \"3\"\n"));
}

std::string ModuleName(const ::testing::TestParamInfo<Refusal>& info) { return info.param.module; }

INSTANTIATE_TEST_SUITE_P(
    Modules, RefusedModule,
    ::testing::Values(Refusal{"no_exports", "it exports no plug-in record `exports`"},
                      Refusal{"revision94", "interface revision 94; this host speaks revision 95"},
                      Refusal{"revision_high", "the upper four bytes must be 0"},
                      Refusal{"type1", "plug-in type 1"}, Refusal{"no_class_name", "no class name"},
                      Refusal{"null_deleteme", "no deleteMe address"},
                      Refusal{"no_object", "getPlugin returned no address"},
                      Refusal{"does_not_exist", "no such file"}),
    ModuleName);

TEST(Program, AScriptErrorStopsWithExitOneAfterUnloadingAndSaving) {
    const HostRun run = RunHost("set probe_value 9\necho before\nmatch start eleven\necho after\n", Probe());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "before\n");
    EXPECT_THAT(run.err, StartsWith("script.vsh:3: error: match start: PLAYLIST: 'eleven' is not an integer"));
    EXPECT_EQ(run.Config(), "probe_flag \"0\"\nprobe_value \"9\"\n");
}

TEST(Program, EndOfInputExitsZeroAndSavesKeepingUnknownSettings) {
    HostRunOptions options = Probe();
    options.config = "probe_value \"4\"\nsomeone_elses \"kept\"\nbroken line here\n";
    const HostRun run = RunHost("get probe_value\nset probe_flag 1\n", options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "probe_value = \"4\"\n");
    EXPECT_THAT(run.err, HasSubstr("config.cfg:3: expected NAME \"VALUE\" (line skipped)"));
    EXPECT_EQ(run.Config(), "probe_flag \"1\"\nprobe_value \"4\"\nsomeone_elses \"kept\"\n");
}

TEST(Program, AConfigurationThatCannotBeReadIsNeverOverwritten) {
    HostRunOptions options = Probe();
    options.arguments = {"--config", "work"};  // a directory: it exists but is no file to read
    const HostRun run = RunHost("set probe_value 2\n", options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("cannot read the configuration"));
    EXPECT_THAT(run.err, HasSubstr("was not saved"));
    EXPECT_TRUE(std::filesystem::is_directory(run.workdir));
}

TEST(Program, ConfigOptionChoosesTheFile) {
    HostRunOptions options = Probe();
    options.arguments = {"--config", "elsewhere.cfg"};
    const HostRun run = RunHost("set probe_value 2\n", options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Config(), "");
    std::ifstream saved(run.root / "elsewhere.cfg");
    std::string line;
    std::getline(saved, line);
    std::getline(saved, line);
    EXPECT_EQ(line, "probe_value \"2\"");
}

TEST(Program, NoLoadStartsEmptyAndLoadBringsThePluginIn) {
    HostRunOptions options = Probe();
    options.load = false;
    const HostRun run = RunHost("status\nload\nget probe_trace\nunload\nunload\n", options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.out, HasSubstr("plug-in: none loaded\n"));
    EXPECT_THAT(run.out, HasSubstr("plug-in Probe loaded\nprobe_trace = \"load\"\nplug-in Probe unloaded\n"));
    EXPECT_THAT(run.err, HasSubstr("script.vsh:5: error: unload: no plug-in is loaded"));
}

TEST(Program, ReadsCommandsFromStandardInput) {
    HostRunOptions options = Probe();
    options.scriptOnStdin = true;
    const HostRun run = RunHost("echo from stdin\nfrobnicate\n", options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "from stdin\n");
    EXPECT_THAT(run.err, HasSubstr("<stdin>:2: error: unknown command or console variable 'frobnicate'"));
}

TEST(Program, CommandLineHelpVersionAndMistakes) {
    HostRunOptions options = Probe();
    options.arguments = {"--help"};
    HostRun run = RunHost("", options);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, HasSubstr("usage: vantrel-host [--plugin PATH]"));

    options.arguments = {"--version"};
    const std::filesystem::path replaced = run.root;
    run = RunHost("", options);
    EXPECT_FALSE(std::filesystem::exists(replaced)) << "a run's directory outlived it";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, StartsWith("vantrel-host 1.0.0.153"));

    options.arguments = {"--frobnicate"};
    run = RunHost("", options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("unknown option --frobnicate"));

    options.arguments = {"missing.vsh"};  // a second script argument, and a missing one
    run = RunHost("", options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("only one SCRIPT"));
}

TEST(Program, AMissingScriptIsAClearError) {
    const vtest::ProgramRun run =
        vtest::RunProgram({vtest::HostExecutable().string(), "--no-load", "/nonexistent/script.vsh"});
    EXPECT_THAT(run.err, HasSubstr("cannot open script /nonexistent/script.vsh"));
    EXPECT_EQ(run.exitCode, 1);
}

TEST(Program, WorkdirIsCreatedAndBecomesTheCurrentDirectory) {
    HostRunOptions options = Probe();
    options.arguments = {"--workdir", "deeper/still"};  // given after the default: this one wins
    const HostRun run = RunHost("echo hi\n", options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(run.root / "deeper/still/config.cfg"));
}

TEST(Program, SettingsDrawsThePluginsTabThroughItsInterface) {
    const HostRun run = RunHost("openmenu Probe\nsettings panel.png\nget probe_trace\n", Probe());
#if defined(VHOST_HAVE_FACES)
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("menu \"Probe\" opened\nsettings window: open, tab \"Probe\"; tabs: \"Probe\"\n"));
    EXPECT_THAT(run.out, HasSubstr("probe_trace = \"load gui-context draw-settings\""));
    EXPECT_TRUE(std::filesystem::exists(run.workdir / "panel.png"));
#else
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("no settings window"));
#endif
}

TEST(Program, SnapshotWritesAPng) {
    const HostRun run = RunHost("probe_draw on\nsnapshot shot.png\n", Probe());
#if defined(VHOST_HAVE_FACES)
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "snapshot written to shot.png\n");
    EXPECT_EQ(run.ReadFile("shot.png").substr(0, 4), "\x89PNG");
    const HostRun failing = RunHost("snapshot no/such/dir/shot.png\n", Probe());
    EXPECT_EQ(failing.exitCode, 1);
    EXPECT_THAT(failing.err, HasSubstr("script.vsh:1: error: snapshot: cannot write no/such/dir/shot.png"));
#else
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("no snapshot support"));
#endif
}

}  // namespace
