// A new project: made by the pure function, by the start of the real program and by the
// "New project..." command of the main window.
#include "NewProject.h"

#include "DataRoot.h"
#include "HelpFile.h"
#include "MessageBox.h"
#include "PeerSupport.h"
#include "ProfileStore.h"
#include "ProjectStart.h"
#include "ScreenFile.h"
#include "StationProcess.h"
#include "StationSupport.h"
#include "TextStyles.h"
#include "WebTemplate.h"
#include "WebTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace halvane;
namespace fs = std::filesystem;

std::optional<fs::path> StarterGallery() {
    return FindStarterGallery(QCoreApplication::applicationDirPath().toStdString());
}

// Every path under `folder`, relative to it, with each file's content.
std::set<std::string> Tree(const fs::path& folder) {
    std::set<std::string> entries;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
        entries.insert(fs::relative(entry.path(), folder).string() + ":" +
                       (entry.is_regular_file() ? ReadText(entry.path()) : "/"));
    return entries;
}

TEST(NewProject, MakesAProjectThatStartsAlive) {
    TempDir dir;
    const fs::path root = dir / "plants/new"; // neither folder exists
    ASSERT_EQ(MakeNewProject(root, StarterGallery()), "");

    ProfileStore config(root / "cfg/config.cfg");
    for (const char* section : {"Serial.1", "Serial.2", "Serial.3", "Ethernet.1"})
        EXPECT_EQ(config.ReadString(section, "enabled", "absent"), "0") << section;
    EXPECT_EQ(config.ReadString("Strings", "Marker.Binary.1", ""), "On;Off");

    // Alarms show: the highlighted look is red and bold, the normal one is neither.
    EXPECT_EQ(StyleListNames(config), (std::vector<std::string>{"Value", "Caption"}));
    for (int style : {0, 1}) {
        EXPECT_EQ(ReadStyleColour(config, style, 'A'), (StyleColour{255, 0, 0})) << style;
        EXPECT_NE(ReadStyleColour(config, style, 'M'), ReadStyleColour(config, style, 'A'));
        EXPECT_TRUE(ReadStyleFont(config, style, 'A').bold) << style;
        EXPECT_FALSE(ReadStyleFont(config, style, 'M').bold) << style;
    }

    const std::vector<int> screens = ReadScreenList(config);
    ASSERT_EQ(screens.size(), 1U);
    ProfileStore screen(root / NativeSeparators(ScreenFileName(screens[0])));
    EXPECT_EQ(screen.ReadString("General", "Title", ""), "My screen 1");
    EXPECT_EQ(screen.ReadInteger("General", "Width", 0), kDefaultScreenWidth);
    // Light, so that the styles' black text shows (a screen's own default is black).
    EXPECT_EQ(screen.ReadInteger("General", "Background.Solid.Color", 0), 0xF0F0F0);
    EXPECT_TRUE(LoadObjects(screen).empty());

    // Every category of the copied gallery shows its tile picture.
    ProfileStore gallery(root / "gallery/gallery.cfg");
    int categories = 0;
    for (; gallery.SectionExists("category." + std::to_string(categories)); ++categories) {
        const std::string image =
            gallery.ReadString("category." + std::to_string(categories), "image", "");
        EXPECT_TRUE(fs::is_regular_file(root / "gallery" / NativeSeparators(image))) << image;
    }
    EXPECT_GE(categories, 7);
    EXPECT_TRUE(fs::is_regular_file(root / "gallery/pumps/pump-on.svg"));
    EXPECT_TRUE(fs::is_regular_file(root / "gallery/pumps/pump-off.svg"));
}

TEST(NewProject, IndexPageListsEveryTagWithValueAndStatus) {
    TempDir dir;
    ASSERT_EQ(MakeNewProject(dir.Path(), std::nullopt), "");
    test::WebStation station;
    TDataChannel level = test::NamedTag("Level", "m", 2.5, "%0.1f");
    level.ValueValid = true;
    TDataChannel pump = test::NamedTag("Pump", "", 1, "%0.0f");
    pump.Status = "Read: Timeout";
    TDataChannel flow = test::NamedTag("Flow", "l/s", 7, "%0.0f");
    flow.ValueValid = true;
    station.SetTags({level, pump, flow});
    station.Counters().tag.AdvanceBelowLast(3); // what an earlier page left
    const auto page = ExpandTemplate(ReadText(dir / "http/index.html.tpl"), station.Context());
    ASSERT_TRUE(std::holds_alternative<std::string>(page));
    const std::string& html = std::get<std::string>(page);
    for (const char* row :
         {"<td>Level</td><td class=\"value\">2.5</td><td>m</td><td>OK</td>",
          "<td>Pump</td><td class=\"value\">1</td><td></td><td>Read: Timeout</td>",
          "<td>Flow</td><td class=\"value\">7</td><td>l/s</td><td>OK</td>"})
        EXPECT_NE(html.find(row), std::string::npos) << row << "\n" << html;
}

// Refused: the folder holds what it held before, nothing half-made.
TEST(NewProject, RefusesAndLeavesTheFolderAsItWas) {
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files; // there before
        std::string root;                                       // under the temporary folder
    } cases[] = {
        {"a project already", {{"p/cfg/config.cfg", "[Screens]\n"}}, "p"},
        {"a file where a folder goes", {{"file", "x"}}, "file/p"},
        {"the gallery blocked late", {{"p/http/old.html", "kept"}, {"p/gallery/pumps", "x"}}, "p"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const auto& [name, content] : c.files)
            WriteText(dir / name, content);
        const std::set<std::string> before = Tree(dir.Path());
        EXPECT_NE(MakeNewProject(dir / c.root, StarterGallery()), "") << c.name;
        EXPECT_EQ(Tree(dir.Path()), before) << c.name;
    }
}

TEST(NewProject, StartAsksAndMakesOnlyWhenTold) {
    const struct {
        const char* name;
        bool option;
        bool runtime;
        std::optional<MessageBox::Button> answer; // none: no question is asked
        ProjectStart result;
    } cases[] = {
        {"answered Yes", false, false, QMessageBox::Yes, ProjectStart::Ready},
        {"answered No", false, false, QMessageBox::No, ProjectStart::Missing},
        {"--new-project", true, false, std::nullopt, ProjectStart::Ready},
        {"-runtime", false, true, std::nullopt, ProjectStart::Missing},
        {"-runtime --new-project", true, true, std::nullopt, ProjectStart::Ready},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const fs::path root = dir / "new";
        MessageBox::Show(nullptr, QMessageBox::Information, "before", "before");
        if (c.answer)
            MessageBox::SetNextAnswer(*c.answer);
        EXPECT_EQ(PrepareProject(root, c.option, c.runtime, {}, nullptr), c.result) << c.name;
        EXPECT_EQ(MessageBox::LastText(),
                  c.answer ? QString("There is no project in %1. Create a new project there?")
                                 .arg(QString::fromStdString(root.string()))
                           : QString("before"))
            << c.name;
        EXPECT_EQ(HoldsProject(root), c.result == ProjectStart::Ready) << c.name;
        EXPECT_EQ(fs::exists(root), c.result == ProjectStart::Ready) << c.name;
    }
}

// The program on a folder that does not exist: made with --new-project, then the web page
// lists the tags a user adds; without the option nobody answers and it ends as before.
TEST(NewProject, ProgramMakesTheProjectAndServesTheIndexPage) {
    TempDir dir;
    const fs::path root = dir / "plant";
    {
        Station declined(root);
        ASSERT_TRUE(declined.WaitForExit());
        EXPECT_EQ(declined.ExitCode(), 1);
        EXPECT_FALSE(fs::exists(root));
    }
    {
        Station station(root, {"--new-project"});
        ASSERT_TRUE(station.WaitUntil([&] { return HoldsProject(root); }));
        station.Terminate();
        ASSERT_TRUE(station.WaitForExit());
    }
    const int port = peers::FreePort();
    {
        ProfileStore config(root / "cfg/config.cfg");
        config.WriteString("Channel.0", "Name", "Boiler");
        config.WriteString("Channel.0", "Format", "%0.1f");
        config.WriteBool("WebServer", "Enabled", true);
        config.WriteInteger("WebServer", "Port", port);
    }
    Station station(root);
    test::HttpReply reply;
    ASSERT_TRUE(station.WaitUntil([&] {
        reply = test::Curl(port, "/");
        return reply.status == 200;
    }));
    EXPECT_NE(reply.body.find("<td>Boiler</td>"), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find("<h2>Tags (1)</h2>"), std::string::npos) << reply.body;
}

TEST(NewProject, FileMenuMakesTheProjectAndStartsAStationOnIt) {
    TempDir dir;
    WriteStation(dir, "", {});
    auto form = StartStation(dir);
    ASSERT_TRUE(form);
    const fs::path root = dir / "other plant";
    std::vector<fs::path> started;
    NewProjectCommand::SetFolderQuestion(
        [&](QWidget*) { return QString::fromStdString(root.string()); });
    NewProjectCommand::SetStationStarter([&](const fs::path& folder) {
        started.push_back(folder);
        return true;
    });
    Trigger(*form, "Newproject1");
    NewProjectCommand::SetFolderQuestion({});
    NewProjectCommand::SetStationStarter({});
    EXPECT_TRUE(HoldsProject(root));
    EXPECT_EQ(started, std::vector<fs::path>{root});
    EXPECT_TRUE(MessageBox::LastText().contains("opens in a station of its own"))
        << MessageBox::LastText().toStdString();
}

} // namespace
