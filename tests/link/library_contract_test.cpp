// What the serial library answers after what happened on its line, written
// once and held against the real library over a pseudo-terminal and against
// the recording fake that the window tests use, so that the two cannot
// drift apart.
#include "fakes.h"
#include "pty_pair.h"
#include "real_library.h"
#include "serial_library.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

enum class Event {
    Open,        // COM1 opened and configured
    OpenMissing, // COM1 leads nowhere, and is opened
    OpenDevice,  // the card's device opened by its path and configured
    OpenMissingDevice, // a path that leads nowhere, opened
    Write,       // one byte handed to the library
    SeenGone,    // asked whether it is still sending until it is not
    HangUp,      // the card's end of the line closes
    Close,
};

struct Answers {
    bool lineUp;
    bool lostData;
    bool openError;
    bool lastWriteTaken;
};

struct ContractRow {
    const char *name;
    std::vector<Event> events;
    Answers answers;
};

// The card's end of the line and the library in front of it.
class World {
public:
    virtual ~World() = default;
    virtual SerialLibrary &Library() = 0;
    virtual void CardThere(bool there) = 0;
    // The path of the card's device, or of nothing while it is not there.
    virtual std::string CardDevice() = 0;
    virtual void HangUp() = 0;
};

class FakeWorld final : public World {
public:
    FakeWorld() { CardThere(true); }
    SerialLibrary &Library() override { return fake_; }
    void CardThere(bool there) override
    {
        fake_.openablePorts = there ? std::set<int> {1} : std::set<int> {};
        fake_.openableDevices = there ? std::set<std::string> {"/dev/ttyUSB0"} : std::set<std::string> {};
    }
    std::string CardDevice() override { return "/dev/ttyUSB0"; }
    void HangUp() override { fake_.HangUp(); }

private:
    testsupport::FakeSerialLibrary fake_;
};

class RealWorld final : public World {
public:
    RealWorld() { CardThere(true); }
    ~RealWorld() override { Library().CloseCommPort(); }
    SerialLibrary &Library() override { return testsupport::RealLibrary(); }
    void CardThere(bool there) override
    {
        // A card that hung up is gone for good: the next open meets a new one.
        card_.reset();
        if (there) {
            card_.emplace();
            devices_.Map(1, card_->DevicePath());
        } else {
            devices_.Map(1, (devices_.Path() / "unplugged").string());
        }
    }
    std::string CardDevice() override
    {
        return card_ ? card_->DevicePath() : (devices_.Path() / "unplugged").string();
    }
    void HangUp() override
    {
        card_->HangUp();
        for (int i = 0; i < 200 && Library().IsLineUp(); ++i)
            std::this_thread::sleep_for(5ms);
    }

private:
    testsupport::DeviceDir devices_;
    std::optional<testsupport::PtyPair> card_;
};

class LibraryContract : public testing::TestWithParam<std::tuple<ContractRow, bool>> {};

TEST_P(LibraryContract, AnswersAsTheLineWent)
{
    const auto &[row, real] = GetParam();
    std::unique_ptr<World> world = real ? std::unique_ptr<World>(std::make_unique<RealWorld>())
                                        : std::make_unique<FakeWorld>();
    SerialLibrary &library = world->Library();
    ASSERT_TRUE(library.Run());
    bool taken = false;
    bool hungUp = false;
    for (const Event event : row.events) {
        switch (event) {
        case Event::Open:
            if (hungUp)
                world->CardThere(true);
            hungUp = false;
            ASSERT_TRUE(library.OpenCommPort(1) && library.ConfigureOpenComPort());
            break;
        case Event::OpenMissing:
            world->CardThere(false);
            ASSERT_FALSE(library.OpenCommPort(1));
            break;
        case Event::OpenDevice:
            if (hungUp)
                world->CardThere(true);
            hungUp = false;
            ASSERT_TRUE(library.OpenCommDevice(world->CardDevice()) && library.ConfigureOpenComPort());
            break;
        case Event::OpenMissingDevice:
            world->CardThere(false);
            ASSERT_FALSE(library.OpenCommDevice(world->CardDevice()));
            break;
        case Event::Write:
            taken = library.WriteToBoard('%');
            break;
        case Event::SeenGone:
            for (int i = 0; i < 200 && library.IsSendingData(); ++i)
                std::this_thread::sleep_for(5ms);
            break;
        case Event::HangUp:
            world->HangUp();
            hungUp = true;
            break;
        case Event::Close:
            library.CloseCommPort();
            break;
        }
    }
    const Answers &want = row.answers;
    EXPECT_EQ(library.IsLineUp(), want.lineUp);
    EXPECT_EQ(library.HasLostData(), want.lostData);
    EXPECT_EQ(library.GetOpenError().has_value(), want.openError);
    EXPECT_EQ(taken, want.lastWriteTaken);
    EXPECT_FALSE(library.HasLostData() && library.IsLineUp()) << "data is lost only with the line";
    if (!library.IsLineUp()) {
        EXPECT_FALSE(library.IsSendingData());
    }
}

using E = Event;
const ContractRow kRows[] = {
    {"Opened", {E::Open}, {true, false, false, false}},
    {"MissingDeviceNeverOpens", {E::OpenMissing, E::Write}, {false, false, true, false}},
    {"WrittenOnAnOpenLine", {E::Open, E::Write}, {true, false, false, true}},
    {"BytesSeenGoneBeforeTheHangUpAreNotLost", {E::Open, E::Write, E::SeenGone, E::HangUp}, {false, false, false, true}},
    {"BytesInFlightAtTheHangUpAreLost", {E::Open, E::Write, E::HangUp}, {false, true, false, true}},
    {"TheLossOutlivesTheClose", {E::Open, E::Write, E::HangUp, E::Close}, {false, true, false, true}},
    {"NoByteIsTakenAfterTheHangUp", {E::Open, E::HangUp, E::Write}, {false, false, false, false}},
    {"ANewOpenForgetsTheLoss", {E::Open, E::Write, E::HangUp, E::Close, E::Open}, {true, false, false, true}},
    {"ClosedByUsLosesNothing", {E::Open, E::Write, E::Close}, {false, false, false, true}},
    {"DeviceOpenedByItsPath", {E::OpenDevice, E::Write}, {true, false, false, true}},
    {"MissingPathNeverOpens", {E::OpenMissingDevice, E::Write}, {false, false, true, false}},
};

INSTANTIATE_TEST_SUITE_P(Rows, LibraryContract, testing::Combine(testing::ValuesIn(kRows), testing::Bool()),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name)
                                 + (std::get<1>(info.param) ? "_Real" : "_Fake");
                         });

} // namespace
