#pragma once

#include "CLog.h"
#include "DataRoot.h"
#include "NumberFormat.h"
#include "TDataChannel.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <string>
#include <utility>

// A tag as the history records it: its name, unit and value.
inline halvane::TDataChannel Tag(std::string name, std::string unit, double value = 0,
                                 bool valid = true) {
    halvane::TDataChannel tag;
    tag.Name = std::move(name);
    tag.Unit = std::move(unit);
    tag.RealValue = value;
    tag.ValueValid = valid;
    return tag;
}

// A temporary data root without a history folder, and a clock that the test sets.
class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        halvane::SetDataRoot(m_root.Path().string());
        halvane::SetDecimalSeparator('.');
    }

    halvane::CLog::Clock Clock() {
        return [this] { return m_now; };
    }
    void SetNow(int year, int month, int day, int h = 12, int m = 0, int s = 0) {
        m_now = QDateTime(QDate(year, month, day), QTime(h, m, s));
    }
    std::filesystem::path DayFile(int year, int month, int day) const {
        return halvane::HistoryFile(QDate(year, month, day));
    }
    std::string DayText(int year, int month, int day) const {
        return ReadText(DayFile(year, month, day));
    }

    TempDir m_root;
    QDateTime m_now{QDate(2014, 4, 8), QTime(12, 0)};
};
