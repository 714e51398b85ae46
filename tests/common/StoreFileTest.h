#pragma once

// A test over one configuration file in a temporary folder, opened through the store with
// the content each case gives.
#include "ProfileStore.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

class StoreFileTest : public ::testing::Test {
protected:
    // The store over config.cfg holding exactly `content`.
    halvane::ProfileStore& Store(const std::string& content) {
        WriteText(m_file, content);
        m_store = std::make_unique<halvane::ProfileStore>(m_file);
        return *m_store;
    }

    TempDir m_dir;
    std::filesystem::path m_file = m_dir / "config.cfg";
    std::unique_ptr<halvane::ProfileStore> m_store;
};
