#pragma once

#include "MessageBox.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "TagListHost.h"
#include "TagTable.h"
#include "TempDir.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace halvane::test {

// What the main window does for the tag windows, recorded; a reload loads the file.
class FakeTagListHost final : public TagListHost {
public:
    FakeTagListHost(TagTable& tags, ProfileStore& config) : m_tags(tags), m_config(config) {}

    void ReloadTags() override {
        calls.push_back("ReloadTags");
        m_tags.Assign(LoadAllTags(m_config));
    }
    void StopCommunication() override { calls.push_back("StopCommunication"); }
    std::optional<std::string> ScreenUsingTag(int tagIndex) override {
        calls.push_back("ScreenUsingTag " + std::to_string(tagIndex));
        const auto screen = usedOn.find(tagIndex);
        if (screen == usedOn.end())
            return std::nullopt;
        return screen->second;
    }
    void RenumberScreenTags(int deletedIndex, int oldCount) override {
        calls.push_back("RenumberScreenTags " + std::to_string(deletedIndex) + " " +
                        std::to_string(oldCount));
    }
    void ShowProgress(bool shown) override {
        calls.push_back(shown ? "ShowProgress on" : "ShowProgress off");
    }
    void ShowCommunicationMonitor() override { calls.push_back("ShowCommunicationMonitor"); }
    bool Permit(Role needed) override {
        asked.push_back(needed);
        return needed <= role;
    }
    std::string User() override { return "tester"; }
    void ShowTrend(int tagIndex) override {
        calls.push_back("ShowTrend " + std::to_string(tagIndex));
    }

    std::map<int, std::string> usedOn; // tag index → caption of the screen using it
    std::vector<std::string> calls;
    Role role = Role::Admin; // the rights the station grants
    std::vector<Role> asked; // the rights the window asked for

private:
    TagTable& m_tags;
    ProfileStore& m_config;
};

// A configuration file in a temporary folder, with its store.
class ConfigFileTest : public ::testing::Test {
protected:
    ConfigFileTest() { SetDecimalSeparator('.'); }

    std::string FileText() const { return ReadText(m_file); }
    // The file as another program would read it now.
    std::string Stored(const std::string& section, const std::string& key) const {
        return ProfileStore(m_file).ReadString(section, key, "<absent>");
    }

    TempDir m_root;
    std::filesystem::path m_file = m_root / "config.cfg";
    ProfileStore m_config{m_file};
};

} // namespace halvane::test
