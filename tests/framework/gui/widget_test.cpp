// The widget base without a window: registration, hover selection by depth and
// preference, raising, enabling and destroying the active widget, the frame tick, the
// point converter, and the one-axis mover.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

#include "framework/gui/mover.h"
#include "framework/gui/widget_probe.h"
#include "support/test_support.h"

namespace {

using namespace widget_test;
using NVireo::NGUI::CInterface;
using NVireo::NGUI::Registry;

const HWND kOwner = reinterpret_cast<HWND>(uintptr_t{0x100});
const HWND kOtherOwner = reinterpret_cast<HWND>(uintptr_t{0x200});
constexpr RECT kLeft{0, 0, 50, 50};
constexpr RECT kRight{100, 0, 150, 50};
constexpr RECT kWide{0, 0, 150, 50};  // covers both

using Events_ = std::vector<std::string>;

TEST(WidgetRegistry, RegisterUnregisterAndReRegisterKeepOneEntryPerWidget) {
    RegistryGuard guard;
    const int32_t before = Registry().widgets.count;
    {
        Probe a("A", kLeft, kOwner);
        EXPECT_TRUE(a.IsRegistered());
        EXPECT_EQ(a.ownerWindow, kOwner);
        a.SetEnabled(false);
        a.Register(kOtherOwner);  // moves it, and enables it again
        EXPECT_EQ(Registry().widgets.count, before + 1);
        EXPECT_EQ(a.ownerWindow, kOtherOwner);
        EXPECT_FALSE(a.disabled);
        a.Unregister();
        EXPECT_FALSE(a.IsRegistered());
        EXPECT_EQ(a.ownerWindow, nullptr);
        a.Unregister();       // a second time changes nothing
        a.Register(nullptr);  // before the main window exists
        EXPECT_TRUE(a.IsRegistered());
    }
    EXPECT_EQ(Registry().widgets.count, before) << "the destructor unregisters";
}

// Two overlapping widgets, the first in set order (lower address) at index 0.
TEST(WidgetHover, DepthDecidesAndEqualDepthGoesToTheLaterOnlyWhenPreferred) {
    constexpr uint32_t kInit = CInterface::kInitialDepth;
    struct Case {
        uint32_t depth0;
        bool preferred0;
        uint32_t depth1;
        bool preferred1;
        int winner;
    } cases[] = {
        {kInit, false, kInit, false, 0},  // first in set order wins
        {kInit, false, kInit, true, 1},   // a preferred later one takes the tie
        {kInit, true, kInit, false, 0},   // preferring the first changes nothing
        {kInit, true, kInit, true, 1},
        {kInit, false, kInit - 1, false, 1},  // smaller depth wins whatever the order
        {kInit - 1, false, kInit, true, 0},
    };
    for (const Case& c : cases) {
        RegistryGuard guard;
        std::array<Probe, 2> probes{Probe("0", kWide, kOwner), Probe("1", kWide, kOwner)};
        probes[0].depth = c.depth0;
        probes[0].preferred = c.preferred0;
        probes[1].depth = c.depth1;
        probes[1].preferred = c.preferred1;
        Events().clear();
        EXPECT_TRUE(NVireo::NGUI::SelectHover(120, 10));
        const Probe& winner = probes[c.winner];
        EXPECT_TRUE(winner.IsActive()) << c.winner;
        EXPECT_FALSE(probes[1 - c.winner].IsActive());
        const bool raised = (c.winner == 0 ? c.depth0 : c.depth1) < kInit;
        EXPECT_EQ(Events(), raised ? Events_({winner.name + " raise", winner.name + " move"})
                                   : Events_({winner.name + " move"}));
        EXPECT_EQ(winner.lastMove.clientX, 120);
        EXPECT_EQ(winner.lastMove.clientY, 10);
    }
}

TEST(WidgetHover, EachRaiseTakesASmallerDepthSoTheLastRaisedWinsTheOverlap) {
    RegistryGuard guard;
    Probe a("A", RECT{0, 0, 100, 50}, kOwner);
    Probe b("B", RECT{50, 0, 150, 50}, kOwner);
    a.depth = b.depth = CInterface::kInitialDepth - 1;  // raisable
    // Each raise goes below the depth both start at, so the first raise already puts A in
    // front; at equal depths the order of the widgets' addresses would decide.
    Registry().raiseCounter = std::min(Registry().raiseCounter, a.depth);
    const uint32_t counter = Registry().raiseCounter;
    NVireo::NGUI::SelectHover(10, 10);  // A only
    EXPECT_EQ(a.depth, counter - 1);
    NVireo::NGUI::SelectHover(75, 10);  // overlap: A is nearer
    EXPECT_TRUE(a.IsActive());
    NVireo::NGUI::SelectHover(140, 10);  // B only
    NVireo::NGUI::SelectHover(75, 10);
    EXPECT_TRUE(b.IsActive());
    EXPECT_LT(b.depth, a.depth);
    EXPECT_EQ(Events(), Events_({"A raise", "A move", "A raise", "A move", "B raise", "B move",
                                 "B raise", "B move"}));
}

TEST(WidgetTick, EnabledWidgetsOfAWindowTickInSetOrderUnlessABackgroundPressIsHeld) {
    RegistryGuard guard;
    std::array<Probe, 4> probes{Probe("0", kLeft, kOwner), Probe("1", kLeft, kOwner),
                                Probe("2", kLeft, nullptr), Probe("3", kLeft, kOtherOwner)};
    probes[1].SetEnabled(false);
    NVireo::NGUI::TickAll();
    EXPECT_EQ(Events(), Events_({"0 frame", "3 frame"})) << "owner order, then address order";
    Events().clear();
    Registry().backgroundPress = true;
    NVireo::NGUI::TickAll();
    EXPECT_TRUE(Events().empty());
}

TEST(WidgetTick, AFrameHandlerMayDestroyAndCreateWidgetsDuringTheWalk) {
    RegistryGuard guard;
    // What a shortcut key that changes the scene does: the next widget is destroyed, a
    // new one appears, and the ticking widget itself leaves the registry.
    auto first = std::make_unique<Probe>("first", kLeft, kOwner);
    auto doomed = std::make_unique<Probe>("doomed", kLeft, kOtherOwner);
    std::unique_ptr<Probe> created;
    first->onFrame = [&] {
        doomed.reset();
        first->Unregister();
        created = std::make_unique<Probe>("created", kLeft, kOtherOwner);
    };
    NVireo::NGUI::TickAll();
    EXPECT_EQ(Events().front(), "first frame");
    EXPECT_EQ(std::count(Events().begin(), Events().end(), "doomed frame"), 0);
    EXPECT_LE(Events().size(), 2u);
}

struct Doubling : NVireo::NGUI::NInterface::IClientPointConveter {
    explicit Doubling(int* deletions) : deleted(deletions) {}
    ~Doubling() override { ++*deleted; }
    void Convert(int32_t& x, int32_t& y) override {
        x *= 2;
        y *= 2;
    }
    int* deleted;
};

TEST(WidgetFrame, PickTickResetAndTheConverterReleasedAtShutdown) {
    RegistryGuard guard;
    Probe b("B", kRight, kOwner);
    int deleted = 0;
    NVireo::NGUI::SetPointConverter(new Doubling(&deleted));
    NVireo::NGUI::PickAtCursor(POINT{60, 10});  // 60 becomes 120, on B
    EXPECT_TRUE(b.IsActive());
    EXPECT_EQ(b.lastMove.clientX, 60) << "handlers get the unconverted client pair";
    NVireo::NGUI::TickAll();
    NVireo::NGUI::ResetHover();
    EXPECT_FALSE(b.IsActive());
    EXPECT_EQ(Events(), Events_({"B move", "B frame"}));
    NVireo::NGUI::SetPointConverter(nullptr);
    EXPECT_EQ(deleted, 1);
    EXPECT_FALSE(NVireo::NGUI::SelectHover(60, 10));
}

// A box that records where the mover puts it.
struct Box {
    void MoveTo(int32_t x, int32_t y) {
        left = x;
        top = y;
        moves.push_back(x);
    }
    void GetPosition(int32_t& x, int32_t& y) const {
        x = left;
        y = top;
    }
    void Draw() { ++draws; }
    int32_t left = 0;
    int32_t top = 0;
    std::vector<int32_t> moves;
    int draws = 0;
};

TEST(WidgetMover, StartsOffsetBySumOfStepsAndDeceleratesBackToWhereItWas) {
    struct Case {
        int32_t step;
        uint32_t total;
        std::vector<int32_t> moves;  // Start's, then each Step's
    } cases[] = {
        {3, 4, {70, 82, 91, 97, 100}},
        {-2, 3, {112, 106, 102, 100}},
        {5, 1, {95, 100}},
        {7, 0, {100}},
    };
    for (const Case& c : cases) {
        Box box;
        box.left = 100;
        box.top = 40;
        NVireo::NGUI::NAction::BMover1X<Box> mover(&box, c.step, c.total);
        mover.Start();
        for (uint32_t i = 0; i < c.total + 2; ++i) mover.Step();  // extra steps do nothing
        EXPECT_EQ(box.moves, c.moves) << c.step << " " << c.total;
        EXPECT_EQ(box.left, 100);
        EXPECT_EQ(box.top, 40);
        EXPECT_EQ(mover.done, c.total);
        mover.Refresh();
        EXPECT_EQ(box.draws, 1);
    }
}

TEST(WidgetReserved, UnusedSlotsAndPositionlessCellsReportAnInternalError) {
    Probe a("A", kLeft, kOwner);
    struct Still : NVireo::NGUI::NAction::ICell {
        void Refresh() override {}
        void Step() override {}
        void Start() override {}
    } cell;
    int32_t x = 0;
    int32_t y = 0;
    // Each call in a scope of its own: after one report the next would return at once.
    const std::function<void()> calls[] = {[&] { a.Reserved15(1, 2); }, [&] { cell.MoveTo(1, 2); },
                                           [&] { cell.GetPosition(x, y); },
                                           [&] { cell.Reserved3(0); }, [&] { cell.Reserved5(0); }};
    for (const auto& call : calls) {
        RaisePolicy policy;
        EXPECT_THROW(call(), NVireo::NError::CObject);
    }
}

}  // namespace
