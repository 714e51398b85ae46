// The screens list dialog over a screen list of its own; a recording host stands for the
// main window.
#include "ScreenTestSupport.h"

#include "MessageBox.h"
#include "ScreenFile.h"
#include "ScreenList.h"
#include "ScreenListHost.h"
#include "TFormEditScreen.h"
#include "TFormEditScreens.h"
#include "TFormScreen.h"
#include "TagTable.h"
#include "WidgetTestSupport.h"

#include <QHeaderView>
#include <QScrollArea>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace halvane;
using test::Click;
using test::ModalAnswers;
using test::SetText;
using test::Text;

namespace {

class RecordingHost final : public ScreenListHost {
public:
    void ScreenCreated(TFormScreen* screen) override {
        calls.push_back("created " + screen->Caption());
    }
    void ScreenDeleted(size_t position) override {
        calls.push_back("deleted " + std::to_string(position));
    }
    void RefreshScreenNodes() override { calls.push_back("refresh"); }

    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

class TFormEditScreensTest : public ScreenDataRootTest {
protected:
    TFormEditScreensTest() { m_dock.resize(900, 700); }
    ~TFormEditScreensTest() override { m_dialog.hide(); }

    // config.cfg lists one screen per entry, with the file numbers 17, 4023 and 9 as far as
    // they go; the list loads them.
    void Load(const std::vector<std::string>& generals) {
        const int numbers[] = {17, 4023, 9};
        std::string list = "[Screens]\n";
        for (size_t i = 0; i < generals.size(); ++i) {
            list += "ScreenCfgId." + std::to_string(i) + "=" + std::to_string(numbers[i]) + "\n";
            WriteText(ResolveDataPath(ScreenFileName(numbers[i])), "[General]\n" + generals[i]);
        }
        WriteText(CfgFile("config.cfg"), list);
        m_list.LoadScreens();
        m_dialog.show();
    }

    QTableWidget* Grid() { return test::Child<QTableWidget>(m_dialog, "StringGridScreens"); }
    // Every row as "cell|cell|...".
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int r = 0; r < Grid()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < Grid()->columnCount(); ++c)
                cells << Grid()->item(r, c)->text();
            rows.push_back(cells.join('|').toStdString());
        }
        return rows;
    }
    std::vector<int> Numbers() {
        std::vector<int> numbers;
        for (size_t i = 0; i < m_list.Size(); ++i)
            numbers.push_back(m_list.At(i)->ScreenFileNumber());
        return numbers;
    }
    std::vector<int> StoredList() { return ReadScreenList(ProfileStore(CfgFile("config.cfg"))); }

    TagTable m_tags;
    QScrollArea m_dock;
    ScreenList m_list{m_config, m_tags, &m_dock, nullptr};
    RecordingHost m_host;
    TFormEditScreen m_properties;
    TFormEditScreens m_dialog{m_list, m_config, m_properties, m_host};
};

TEST_F(TFormEditScreensTest, GridShowsEveryScreenInListOrderNumberedByRow) {
    Load({"Title=Boiler\nVisible=0\nWidth=300\nHeight=200\nNoOfMarkers=2\n"
          "[Marker.0]\nTL=1,1\nBR=5,5\n[Marker.1]\nTL=1,1\nBR=5,5\n",
          "Title=caf\xE9\nVisible=abc\nWidth=320\nHeight=240\n", ""});
    m_list.At(0)->SetScreenMode(true, false, false); // docked with a border of 4
    m_list.At(1)->move(30, 40);
    Click(m_dialog, "ButtonRefresh");

    EXPECT_EQ(m_dialog.windowTitle(), "Screens");
    QStringList headers;
    for (int c = 0; c < Grid()->columnCount(); ++c)
        headers << Grid()->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, QStringList({"Id", "Title", "Visible", "Position", "Size", "# objects"}));
    EXPECT_EQ(Grid()->horizontalHeader()->sectionSize(1), 241);
    EXPECT_EQ(Grid()->rowHeight(0), 20);
    EXPECT_EQ(Grid()->toolTip(), "Double click to edit screen title");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1|Boiler|No|0,0|308,208|2",
                                                "2|caf\xC3\xA9|Yes|30,40|320,240|0",
                                                "3|Screen|Yes|0,0|640,480|0"}));

    // What changed since the grid was filled shows after "Refresh".
    m_list.At(2)->SetScreenTitle("Pumps");
    Click(m_dialog, "ButtonRefresh");
    EXPECT_EQ(Rows().back(), "3|Pumps|Yes|0,0|640,480|0");
    EXPECT_TRUE(m_host.calls.empty());
}

// Each step starts from the list the steps before left.
TEST_F(TFormEditScreensTest, AddAsksTwiceAndAppendsAScreenInEditMode) {
    Load({"Title=One\n", "Title=Two\n"});
    const struct {
        QMessageBox::StandardButton answer;
        std::optional<QString> typed; // nothing: the title box is cancelled
        std::string created;          // empty: no screen
    } steps[] = {
        {QMessageBox::No, std::nullopt, ""},
        {QMessageBox::Yes, std::nullopt, "My screen 3"},
        {QMessageBox::Yes, QString(""), ""},
        {QMessageBox::Yes, QString("Caf\xC3\xA9"), "Caf\xC3\xA9"},
    };
    for (const auto& step : steps) {
        m_host.calls.clear();
        const size_t before = m_list.Size();
        MessageBox::SetNextAnswer(step.answer);
        if (step.typed)
            MessageBox::SetNextInput(*step.typed);
        Click(m_dialog, "ButtonAddScreen");
        if (step.created.empty()) {
            EXPECT_EQ(m_list.Size(), before) << step.answer;
            EXPECT_TRUE(m_host.calls.empty());
            continue;
        }
        EXPECT_EQ(MessageBox::LastCaption(), "Screen title");
        EXPECT_EQ(MessageBox::LastText(), "Enter new title:");
        ASSERT_EQ(m_list.Size(), before + 1);
        const TFormScreen* screen = m_list.At(before);
        EXPECT_EQ(screen->Caption(), step.created);
        EXPECT_TRUE(screen->EditMode());
        EXPECT_EQ(screen->parentWidget(), m_dock.widget());
        EXPECT_FALSE(screen->isVisible());
        EXPECT_EQ(m_host.calls, (Calls{"created " + step.created, "refresh"}));
        EXPECT_EQ(Rows().back(),
                  std::to_string(before + 1) + "|" + step.created + "|Yes|0,0|648,488|0");
        EXPECT_EQ(Grid()->currentRow(), static_cast<int>(before));
    }
    EXPECT_EQ(MessageBox::LastCaption(), "Screen title");

    Click(m_dialog, "ButtonClose");
    EXPECT_EQ(m_dialog.result(), QDialog::Rejected);
    EXPECT_EQ(StoredList(), Numbers());
    EXPECT_EQ(Numbers().size(), 4u);
}

TEST_F(TFormEditScreensTest, DeleteAsksAndRemovesTheSelectedScreenButNotItsFile) {
    Load({"Title=One\n", "Title=Two\n", "Title=Three\n"});
    Click(m_dialog, "ButtonDeleteScreen"); // no row selected
    EXPECT_EQ(m_list.Size(), 3u);
    EXPECT_TRUE(m_host.calls.empty());

    Grid()->selectRow(1);
    MessageBox::SetNextAnswer(QMessageBox::No);
    Click(m_dialog, "ButtonDeleteScreen");
    EXPECT_EQ(MessageBox::LastText(), "Do you want to delete selected screen?");
    EXPECT_EQ(MessageBox::LastCaption(), "Confirmation");
    EXPECT_EQ(m_list.Size(), 3u);
    EXPECT_EQ(m_host.calls, Calls{"refresh"});

    m_host.calls.clear();
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    Click(m_dialog, "ButtonDeleteScreen");
    EXPECT_EQ(m_host.calls, (Calls{"deleted 1", "refresh"}));
    EXPECT_EQ(Rows(),
              (std::vector<std::string>{"1|One|Yes|0,0|640,480|0", "2|Three|Yes|0,0|640,480|0"}));
    m_dialog.close();
    EXPECT_EQ(StoredList(), (std::vector<int>{17, 9}));
    EXPECT_TRUE(std::filesystem::exists(ResolveDataPath(ScreenFileName(4023))));

    // The last screens go too: no screen rows, no "ScreenCfgId" keys.
    m_dialog.show();
    for (int row : {1, 0}) {
        Grid()->selectRow(row);
        MessageBox::SetNextAnswer(QMessageBox::Yes);
        Click(m_dialog, "ButtonDeleteScreen");
    }
    EXPECT_EQ(Grid()->rowCount(), 0);
    QTest::keyClick(&m_dialog, Qt::Key_Escape);
    EXPECT_FALSE(m_dialog.isVisible());
    EXPECT_TRUE(ProfileStore(CfgFile("config.cfg")).ReadKeys("Screens").empty());
}

TEST_F(TFormEditScreensTest, EditOpensThePropertiesOfTheSelectedScreen) {
    Load({"Title=One\n", "Title=Two\nWidth=300\nHeight=200\n"});
    Click(m_dialog, "ButtonEditScreen"); // no row selected: nothing opens
    TFormScreen* screen = m_list.At(1);
    screen->move(50, 60);
    {
        ModalAnswers answers;
        answers.Then<TFormEditScreen>([](TFormEditScreen& properties) {
            EXPECT_EQ(Text(properties, "EditTitle"), "Two");
            SetText(properties, "EditTitle", "Pumps");
            Click(properties, "ButtonSave");
        });
        Grid()->selectRow(1);
        Click(m_dialog, "ButtonEditScreen");
    }
    // Reloaded: the window went back to the corner of its place.
    EXPECT_EQ(Rows().back(), "2|Pumps|Yes|0,0|300,200|0");
    EXPECT_EQ(m_host.calls, Calls{"refresh"});

    // A double click opens it too; cancelled, nothing is reloaded or refreshed.
    m_host.calls.clear();
    screen->move(50, 60);
    {
        ModalAnswers answers;
        answers.Then<TFormEditScreen>([](TFormEditScreen& properties) {
            EXPECT_EQ(Text(properties, "EditTitle"), "Pumps");
            SetText(properties, "EditTitle", "Other");
            Click(properties, "ButtonCancel");
        });
        emit Grid()->cellDoubleClicked(1, 1);
    }
    EXPECT_EQ(screen->Caption(), "Pumps");
    EXPECT_EQ(screen->pos(), QPoint(50, 60));
    EXPECT_TRUE(m_host.calls.empty());
}

// A config.cfg that cannot be read is never replaced: closing says why the list was not
// written.
TEST_F(TFormEditScreensTest, ClosingWritesTheListOrSaysWhyNot) {
    Load({"Title=One\n", "Title=Two\n"});
    WriteText(CfgFile("config.cfg"), "[Screens]\nScreenCfgId.0=5\n");
    m_dialog.reject();
    EXPECT_EQ(StoredList(), (std::vector<int>{17, 4023}));

    std::filesystem::remove(CfgFile("config.cfg"));
    std::filesystem::create_directory(CfgFile("config.cfg"));
    m_dialog.show();
    const std::string said = StderrOf([&] { Click(m_dialog, "ButtonClose"); });
    EXPECT_EQ(MessageBox::LastCaption(), "Configuration not saved");
    EXPECT_NE(said.find("Configuration not saved: "), std::string::npos) << said;
    EXPECT_TRUE(std::filesystem::is_directory(CfgFile("config.cfg")));
}

} // namespace
