// The player: the transport's clock against a fake music track, the keys, a jump landing on
// the captured frame, and the dialog's window choices reaching the window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <algorithm>
#include <set>
#include <stdexcept>

#include "app/dialog.h"
#include "app/run.h"
#include "app/startup.h"
#include "app/transport.h"
#include "gl/gl.h"
#include "platform/platform.h"
#include "support/gl_test.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"
#include "support/zip_writer.h"

namespace {

// A track whose heard moment the test moves, recording what it was asked.
class FakeMusic : public platform::MusicStream {
public:
    bool isPlaying() const override { return playing; }
    void pause() override { playing = false; }
    void resume() override { playing = true; }
    void seek(double seconds) override { heard = seconds; }
    double heardPosition() const override { return playing ? heard : -1.0; }
    double duration() const override { return 220.0; }
    void play(double seconds) {
        if (playing) heard += seconds;
    }

    bool playing = true;
    double heard = 0.0;  // seconds
};

TEST(Transport, PauseHoldsTimeAndMusicAndJumpsClamp) {
    FakeMusic music;
    Transport transport(&music, 220000.0f);
    transport.setMusicLock(false);
    for (int i = 0; i < 3; ++i) transport.tick(10.0f);
    EXPECT_FLOAT_EQ(transport.time(), 30.0f);

    transport.togglePause();
    EXPECT_FALSE(music.playing);
    const Transport::Frame still = transport.tick(500.0f);
    EXPECT_FLOAT_EQ(still.t, 30.0f);
    EXPECT_FLOAT_EQ(still.dt, 0.0f);

    // A jump during a pause lands, takes the music along and stays paused.
    EXPECT_FLOAT_EQ(transport.jumpBy(-5000.0f), 0.0f);
    EXPECT_DOUBLE_EQ(music.heard, 0.0);
    EXPECT_FLOAT_EQ(transport.jumpBy(90000.0f), 90000.0f);
    EXPECT_DOUBLE_EQ(music.heard, 90.0);
    EXPECT_TRUE(transport.paused());
    EXPECT_FALSE(music.playing);
    EXPECT_FLOAT_EQ(transport.tick(16.0f).t, 90000.0f);
    EXPECT_FLOAT_EQ(transport.jumpBy(1.0e6f), 220000.0f);

    transport.togglePause();
    EXPECT_TRUE(music.playing);
    const Transport::Frame moving = transport.tick(16.0f);
    EXPECT_FLOAT_EQ(moving.dt, 16.0f);
}

TEST(Transport, FollowsTheHeardMusicWithEvenSteps) {
    FakeMusic music;
    Transport transport(&music, 220000.0f);
    const float step = 1000.0f / 60.0f;
    music.play(step / 1000.0);
    transport.tick(step);  // the first reading places the time
    music.heard += 0.150;  // then the sound runs 150 ms ahead (a device that plays fast)
    float smallest = 1e9f, largest = 0.0f;
    for (int frame = 0; frame < 600; ++frame) {
        music.play(step / 1000.0);
        const Transport::Frame f = transport.tick(step);
        if (frame > 0) smallest = std::min(smallest, f.dt), largest = std::max(largest, f.dt);
    }
    // Within a millisecond or two of where the sound will be when the frame is shown.
    EXPECT_NEAR(transport.time(), music.heard * 1000.0 + step, 2.0);
    EXPECT_GE(smallest, 0.9f * step - 1e-3f);
    EXPECT_LE(largest, 1.1f * step + 1e-3f);

    // A stall of the picture (a long frame with the sound going on) is closed at once.
    music.play(2.0);
    transport.tick(step);
    music.play(step / 1000.0);
    transport.tick(step);
    EXPECT_NEAR(transport.time(), music.heard * 1000.0, 100.0);
}

TEST(PlayerKeys, DriveTheTransport) {
    FakeMusic music;
    Transport transport(&music, 220000.0f);
    transport.setMusicLock(false);
    transport.jumpTo(100000.0f);
    DemoController* controller = DemoController::instance();
    std::set<platform::Key> down;
    const auto pressed = [&](platform::Key key) { return down.count(key) > 0; };
    const auto press = [&](std::set<platform::Key> keys) {
        down = std::move(keys);
        return applyPlayerKeys(transport, *controller, pressed);
    };
    EXPECT_FALSE(press({platform::Key::Space}));
    EXPECT_TRUE(transport.paused());
    EXPECT_TRUE(press({platform::Key::Right}));
    EXPECT_FLOAT_EQ(transport.time(), 105000.0f);
    EXPECT_TRUE(press({platform::Key::PageUp}));
    EXPECT_FLOAT_EQ(transport.time(), 75000.0f);
    EXPECT_TRUE(press({platform::Key::PageDown, platform::Key::Left}));
    EXPECT_FLOAT_EQ(transport.time(), 100000.0f);
    EXPECT_TRUE(press({platform::Key::C}));  // the film is replayed for its fade
    EXPECT_FLOAT_EQ(transport.time(), 100000.0f);
    EXPECT_TRUE(press({platform::Key::Home}));
    EXPECT_FLOAT_EQ(transport.time(), 0.0f);
    EXPECT_TRUE(transport.paused());
    EXPECT_NE(playerNotes(transport, *controller).find("paused"), std::string::npos);
    DemoController::destroyInstance();
}

// The test scene's film: the frame a headless start shows at `t` after `play` ran on it.
class JumpTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 160, kHeight = 90;
    void SetUp() override {
        TestSceneOptions options;
        options.secondShotEnd = 300.0f;  // through the credits and the believe screen
        options.shake = 0.3f;            // the shake's generator carries from frame to frame
        ASSERT_TRUE(writeTestSceneArchive(dir.path() + "demodat", options));
    }
    // A headless start of the archive; every rendered frame is read back into `pixels`.
    std::unique_ptr<DemoStart> start(RunMode mode = RunMode::Demo) {
        StartupDesc desc;
        desc.mode = mode;
        desc.width = kWidth;
        desc.height = kHeight;
        desc.headless = true;
        desc.archive = dir.path() + "demodat";
        std::string reason;
        std::unique_ptr<DemoStart> run = startDemo(desc, reason);
        EXPECT_TRUE(run) << reason;
        if (run) readEachFrame(run->controller(), kWidth, kHeight, pixels);
        return run;
    }
    // Replays to `t` and draws the frame there, as the player does after a jump or a reload.
    void land(DemoController& controller, float t) {
        const float dt = controller.seek(t);
        controller.update(t, dt);
        controller.render(t, dt);
    }
    std::vector<unsigned char> frameAfterJump(float t, const std::function<void(DemoController&)>& play) {
        std::unique_ptr<DemoStart> run = start();
        if (!run) return {};
        play(run->controller());
        land(run->controller(), t);
        return pixels;
    }
    // The number of different colours in a frame read back (an unread frame has one), and its
    // mean level, 0 to 255 (a black one is near 0).
    static size_t colours(const std::vector<unsigned char>& rgba) {
        std::set<uint32_t> seen;
        for (size_t i = 0; i + 3 < rgba.size(); i += 4) seen.insert(rgba[i] | rgba[i + 1] << 8 | rgba[i + 2] << 16);
        return seen.size();
    }
    static double level(const std::vector<unsigned char>& rgba) {
        double sum = 0.0;
        for (size_t i = 0; i + 3 < rgba.size(); i += 4) sum += rgba[i] + rgba[i + 1] + rgba[i + 2];
        return rgba.empty() ? 0.0 : sum / static_cast<double>(rgba.size() / 4 * 3);
    }
    std::vector<int> centre() const {
        const unsigned char* p = &pixels[((kHeight / 2) * kWidth + kWidth / 2) * 4];
        return {p[0], p[1], p[2]};
    }
    std::vector<unsigned char> pixels = std::vector<unsigned char>(kWidth * kHeight * 4);
    TempDir dir;
    LogCapture log;
};

TEST_F(JumpTest, TheFrameAfterAJumpIsTheCapturedFrame) {
    // Played in uneven steps far past the moments, through credits and the believe screen.
    const auto wander = [](DemoController& c) {
        float t = 0.0f;
        for (float dt : {0.0f, 17.0f, 950.0f, 4000.0f, 33.0f, 80000.0f, 75000.0f, 3000.0f, 55000.0f, 1200.0f}) {
            t += dt;
            c.update(t, dt);
            c.render(t, dt);
        }
    };
    for (float t : {1500.0f, 157300.0f, 211000.0f}) {
        const auto captured = frameAfterJump(t, [](DemoController&) {});
        const auto jumped = frameAfterJump(t, wander);
        ASSERT_FALSE(captured.empty());
        // Two black or unread frames would be equal too: the captured one must show the film.
        EXPECT_GE(colours(captured), 16u) << "at " << t << " ms";
        EXPECT_GT(level(captured), 30.0) << "at " << t << " ms";
        EXPECT_TRUE(captured == jumped) << "at " << t << " ms";
    }
}

TEST_F(JumpTest, ReloadSwapsWhatChangedAndKeepsWhatFails) {
    std::unique_ptr<DemoStart> run = start(RunMode::Free);
    ASSERT_TRUE(run);
    DemoController& controller = run->controller();
    land(controller, 1000.0f);
    ASSERT_NE(centre(), (std::vector<int>{255, 0, 0}));
    float view[16], after[16];
    controller.currentCamera()->getViewMatrix(view);

    // The archive rewritten as an author's rebuild would: the post-processing made plain red, the
    // shake script and the first shot's length changed.
    TestSceneOptions options;
    options.secondShotEnd = 300.0f;
    options.firstShotEnd = 2.5f;
    ZipEntries entries = testSceneEntries(options);
    const auto rewrite = [&](const std::string& from, const std::string& to) {
        for (auto& [name, text] : entries)
            if (name == "voltaresca_data/effects/post_process.cfx") {
                const size_t at = text.find(from);
                ASSERT_NE(at, std::string::npos);
                text.replace(at, from.size(), to);
            }
        ASSERT_TRUE(writeZip(dir.path() + "demodat", entries));
    };
    const auto said = [](const std::vector<std::string>& lines, const std::string& what) {
        for (const std::string& line : lines)
            if (line.find(what) != std::string::npos) return true;
        return false;
    };
    rewrite("vec4(clamp(colour, 0.0, 1.0) * fade, 1.0)", "vec4(1.0, 0.0, 0.0, 1.0)");
    std::vector<std::string> lines = run->reload();
    for (const char* file : {"effects/post_process.cfx", "properties/props.scr", "animations/cameras.ani"})
        EXPECT_TRUE(said(lines, std::string(file) + " reloaded")) << file;
    land(controller, 1000.0f);
    EXPECT_EQ(centre(), (std::vector<int>{255, 0, 0}));
    controller.currentCamera()->getViewMatrix(after);
    EXPECT_TRUE(std::equal(view, view + 16, after)) << "the free camera moved";

    // A broken effect: the red one stays, and the line names the file and the line.
    rewrite("vec4(1.0, 0.0, 0.0, 1.0)", "vec4(1.0, 0.0, 0.0, 1.0) +");
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const auto& e) { return e.first == "voltaresca_data/materials/glass.mat"; }),
                  entries.end());
    ASSERT_TRUE(writeZip(dir.path() + "demodat", entries));
    lines = run->reload();
    EXPECT_TRUE(said(lines, std::string("effects/post_process.cfx kept its previous version: effect 'effects") +
                                platform::pathSeparator() + "post_process.cfx' line "))
        << lines.front();
    EXPECT_TRUE(said(lines, "materials/glass.mat is gone from the archive"));
    land(controller, 1000.0f);
    EXPECT_EQ(centre(), (std::vector<int>{255, 0, 0}));

    // An archive that does not unpack (caught half written, say) leaves everything as it runs.
    ASSERT_TRUE(writeZip(dir.path() + "demodat", {}));
    lines = run->reload();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(said(lines, "could not be unpacked")) << lines.front();
    land(controller, 1000.0f);
    EXPECT_EQ(centre(), (std::vector<int>{255, 0, 0}));
}

// Events as the window system queues them, for the main loop's own pumping to find.
void queueKeyPress(SDL_Scancode code) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = code;
    SDL_PushEvent(&event);
}

void queueQuit() {
    SDL_Event event = {};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

TEST_F(JumpTest, TheLoopDropsKeysFromTheLoadAndOutlivesAFailedReload) {
    std::unique_ptr<DemoStart> run = start(RunMode::Free);
    ASSERT_TRUE(run);
    // Pressed while the content loaded: the film must neither pause nor jump without its music.
    queueKeyPress(SDL_SCANCODE_SPACE);
    queueKeyPress(SDL_SCANCODE_RIGHT);
    std::vector<float> times;
    LoopOptions options;
    options.reload = []() -> std::vector<std::string> { throw std::runtime_error("out of room"); };
    options.afterFrame = [&](float t) {
        times.push_back(t);
        if (times.size() == 3) queueKeyPress(SDL_SCANCODE_F5);
        if (times.size() == 30) queueQuit();
    };
    FrameTimer timer;
    runMainLoop(run->controller(), timer, options);
    platform::clearQuitRequest();
    ASSERT_EQ(times.size(), 30u) << "the loop ended early";
    EXPECT_LT(times.front(), 1000.0f) << "a key pressed during the load jumped";
    EXPECT_GT(times.back(), times.front()) << "a key pressed during the load paused";
    EXPECT_TRUE(log.contains("reload: nothing was reloaded: out of room")) << log.all();
}

TEST_F(JumpTest, TheFreeCameraTakesOverTheFilmsView) {
    std::unique_ptr<DemoStart> run = start(RunMode::Free);
    ASSERT_TRUE(run);
    DemoController& controller = run->controller();
    controller.useFilmCameras(true);
    land(controller, 3000.0f);  // the second shot, from the other side
    float film[16], free[16];
    ICamera* shot = controller.currentCamera();
    ASSERT_NE(shot, nullptr);
    shot->getViewMatrix(film);
    controller.useFilmCameras(false);
    ASSERT_NE(controller.currentCamera(), shot);
    controller.currentCamera()->getViewMatrix(free);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(free[i], film[i], 1e-4f) << i;
}

// C in free mode hands the view to the film's cameras (the second shot, from the other side, at
// 3 s) and back to the free camera, which stays where it was; the frames show the switch.
TEST_F(JumpTest, TheCKeySwitchesBetweenTheFreeCameraAndTheFilms) {
    std::unique_ptr<DemoStart> run = start(RunMode::Free);
    ASSERT_TRUE(run);
    DemoController& controller = run->controller();
    FakeMusic music;
    Transport transport(&music, 220000.0f);
    transport.setMusicLock(false);
    transport.jumpTo(3000.0f);
    const auto pressC = [&] {
        return applyPlayerKeys(transport, controller, [](platform::Key key) { return key == platform::Key::C; });
    };
    land(controller, transport.time());
    ICamera* flight = controller.currentCamera();
    ASSERT_NE(flight, nullptr);
    const std::vector<unsigned char> free = pixels;
    EXPECT_NE(playerNotes(transport, controller).find("free camera"), std::string::npos);

    EXPECT_TRUE(pressC());
    land(controller, transport.time());
    EXPECT_TRUE(controller.filmCameras());
    EXPECT_NE(controller.currentCamera(), flight) << "C left the free camera on";
    EXPECT_NE(playerNotes(transport, controller).find("the film's cameras"), std::string::npos);
    EXPECT_FALSE(pixels == free) << "the film's shot looks as the free camera's view";

    EXPECT_TRUE(pressC());
    land(controller, transport.time());
    EXPECT_FALSE(controller.filmCameras());
    EXPECT_EQ(controller.currentCamera(), flight);
    EXPECT_EQ(transport.time(), 3000.0f);
}

// Vertical sync that the driver refuses (the test display's) is kept by the loop itself: at a
// display frequency of 10 Hz the frames come a tenth of a second apart, not as fast as the
// machine draws them.
TEST_F(JumpTest, RefusedVerticalSyncIsKeptByTheLoop) {
    StartupDesc desc;
    desc.width = kWidth;
    desc.height = kHeight;
    desc.frequency = 10;
    desc.titled = true;
    desc.verticalSync = true;
    desc.archive = dir.path() + "demodat";
    std::string reason;
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    ASSERT_TRUE(run) << reason;
    if (platform::swapInterval(run->controller().window()->handle()) != 0)
        GTEST_SKIP() << "this display's driver waits for the vertical blank itself";
    FrameTimer timer;
    LoopOptions options;
    options.musicLock = false;
    options.stopAt = 2000.0f;
    std::vector<int64_t> drawn;  // the counter after each frame
    options.afterFrame = [&drawn](float) { drawn.push_back(platform::counter()); };
    runMainLoop(run->controller(), timer, options);
    ASSERT_GE(drawn.size(), 3u);
    // The first frame's time holds the start; the mean of the others is the pace.
    const double meanMs = static_cast<double>(drawn.back() - drawn[1]) * 1000.0 /
                          static_cast<double>(platform::counterFrequency()) / static_cast<double>(drawn.size() - 2);
    EXPECT_GE(meanMs, 95.0) << drawn.size() << " frames";
}

TEST(DisplayChoices, ReachTheWindow) {
    SetupResult setup;
    setup.width = 320;
    setup.height = 240;
    setup.bitsPerPixel = 32;
    setup.frequency = 60;
    EXPECT_TRUE(startupFor(RunMode::Demo, setup).fullScreen);
    EXPECT_TRUE(startupFor(RunMode::Demo, setup).verticalSync);
    setup.windowed = true;
    const StartupDesc windowed = startupFor(RunMode::Demo, setup);
    EXPECT_FALSE(windowed.fullScreen);
    EXPECT_TRUE(windowed.titled);

    LogCapture log;
    for (bool titled : {true, false}) {
        DemoController* controller = DemoController::instance();
        controller->setWindowStyle(titled, titled);
        ASSERT_TRUE(controller->init(RunMode::Demo, 320, 240, 32, 60, false)) << platform::lastError();
        platform::Window* window = controller->window()->handle();
        int w = 0, h = 0, x = -1, y = -1, screenW = 0, screenH = 0;
        platform::windowSize(window, w, h);
        platform::windowPosition(window, x, y);
        platform::screenSize(screenW, screenH);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        EXPECT_EQ(platform::windowHasBorder(window), titled);
        EXPECT_EQ(x, titled ? (screenW - 320) / 2 : 0);
        EXPECT_EQ(y, titled ? (screenH - 240) / 2 : 0);
        // A driver without swap control (the test display's) says so, and the loop paces itself.
        if (titled && platform::swapInterval(window) != 1) {
            EXPECT_TRUE(log.contains("vertical sync")) << log.all();
        } else if (!titled) {
            EXPECT_EQ(platform::swapInterval(window), 0);
        }
        EXPECT_EQ(controller->verticalSync(), titled);
        DemoController::destroyInstance();
    }
}

}  // namespace
