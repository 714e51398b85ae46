// A graphical symbol bound to a tag, on a screen of the running station that polls the
// libmodbus simulator: when an independent master (pymodbus) moves the register, the screen
// shows the picture of the new value, and the "no value" picture while the tag has none.
#include "PeerSupport.h"
#include "ScreenList.h"
#include "ScreenPaintArea.h"
#include "StationSupport.h"
#include "TFormScreen.h"
#include "WidgetInput.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace halvane;
using test::WaitUntil;

namespace {

constexpr int kRegister = 20;

// A square of one colour as an SVG picture.
std::string Square(const char* colour) {
    return std::string("<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40'>"
                       "<rect width='40' height='40' fill='") +
           colour + "'/></svg>";
}

class TFormMainSymbolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<peers::Child>(std::vector<std::string>{
            HALVANE_SIM, "--tcp", "127.0.0.1:" + std::to_string(m_simPort), "--static"});
        SetRegister(0);
        WriteStation(m_root,
                     "[Ethernet.1]\nenabled=1\nhost=127.0.0.1\nport=" + std::to_string(m_simPort) +
                         "\ninterval=50\ntimeout=500\n"
                         "[Channel.0]\nName=Pump state\nPort=4\nFunction=2\nRegisterAddr=" +
                         std::to_string(kRegister) + "\nLinear=0\nFormat=%0.0f\n",
                     {{1, "Plant", 320, 200}});
        WriteText(m_root / "gallery/pumps/off.svg", Square("#ff0000"));
        WriteText(m_root / "gallery/pumps/on.svg", Square("#00ff00"));
        WriteText(m_root / "gallery/pumps/unknown.svg", Square("#0000ff"));
        WriteText(m_root / "cfg/screen.1.cfg",
                  "[General]\nTitle=Plant\nWidth=320\nHeight=200\nNoOfMarkers=1\n"
                  "[Marker.0]\nTL=20,20\nBR=60,60\nType=100\nChannel=0\nUseStyle=0\n"
                  "AttrStr1=pumps\\off.svg\nSymbolTag=0\n"
                  "SymbolPictures=0=pumps/off.svg;1=pumps/on.svg\n"
                  "SymbolNoValue=pumps/unknown.svg\n");
    }

    void SetRegister(int value) const {
        ASSERT_EQ(peers::RunPymodbus(m_simPort, "assert not c.write_register(" +
                                                    std::to_string(kRegister) + ", " +
                                                    std::to_string(value) + ", slave=1).isError()"),
                  0);
    }

    // The colour the screen shows in the middle of the symbol.
    static QRgb Shown(TFormMain& form) {
        ScreenPaintArea* area = form.Screens()->At(0)->PaintArea();
        return area->grab().toImage().pixel(40, 40) & 0xffffff;
    }
    static bool Shows(TFormMain& form, QRgb colour) {
        return WaitUntil([&] { return Shown(form) == colour; }, 5000);
    }

    const int m_simPort = peers::FreePort();
    TempDir m_root;
    std::unique_ptr<peers::Child> m_sim;
};

TEST_F(TFormMainSymbolsTest, TheSymbolFollowsTheSlavesRegister) {
    auto form = StartStation(m_root, true);
    ASSERT_TRUE(form);
    EXPECT_TRUE(Shows(*form, 0xff0000)) << std::hex << Shown(*form);
    SetRegister(7); // no picture for 7
    EXPECT_TRUE(Shows(*form, 0x0000ff)) << std::hex << Shown(*form);
    SetRegister(1);
    EXPECT_TRUE(Shows(*form, 0x00ff00)) << std::hex << Shown(*form);
    m_sim.reset(); // the slave is gone: the tag has no value
    EXPECT_TRUE(Shows(*form, 0x0000ff)) << std::hex << Shown(*form);
}

} // namespace
