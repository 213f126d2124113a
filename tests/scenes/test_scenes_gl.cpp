// The real renderers driven through the frame loop by an injected music clock, checked
// on the window's picture as a viewer would see it.
#include "geometry/scene_geometry.h"
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "tests/scenes/show_fixture.h"
#include "tests/support/test_data.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <array>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

namespace {

// The injected clock and what the loop's read-back hook collects.
struct {
    double seconds = 0;
    bool capture = false;
    bool checkErrors = false;
    Picture picture;
    std::vector<std::string> errors;
} gHook;

double injectedClock() {
    return gHook.seconds;
}

void beforeSwap(DemoState& demo) {
    if (gHook.capture)
        gHook.picture = readWindow();
    if (gHook.checkErrors)
        for (const std::string& e : takeGlErrors(demo))
            gHook.errors.push_back(e);
}

// Band of the letterboxed picture in window rows, and the two text panels' rectangles.
constexpr int kBandTop = 128, kBandBottom = 640;
struct Rect {
    int x0, y0, x1, y1;
    Rect inset(int m) const { return {x0 + m, y0 + m, x1 - m, y1 - m}; }
    bool contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};
constexpr Rect kPanelVariant0 = {712, 534, 960, 622}; // region 2 at (712, 534.5)
constexpr Rect kPanelVariant1 = {656, 543, 960, 613}; // region 1 at (656, 543)

bool strongly(const uint8_t* p, int channel) {
    for (int c = 0; c < 3; ++c)
        if (c == channel ? p[c] <= 150 : p[c] >= 60)
            return false;
    return true;
}

int minChannel(const uint8_t* p) {
    return std::min({p[0], p[1], p[2]});
}

void savePicture(const Picture& p, const std::string& name) {
    if (const char* dir = getenv("GLIMWICK_TEST_PICTURES"))
        writeRgbaPng((std::string(dir) + "/" + name + ".png").c_str(), p.width, p.height,
                     p.rgba.data());
}

class Scenes : public ::testing::Test {
  protected:
    DemoState* demo = nullptr;
    FrameLoop loop;

    // As at program start: the background black and the drawn mesh in its rest shape (no
    // previous frame and a full flash counter come from the test main, before each test).
    void SetUp() override {
        std::string why;
        demo = openShow(&why);
        ASSERT_NE(demo, nullptr) << why;
        beginTarget(*demo, 1, kBackLeftBuffer);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        endTarget(*demo, 1, kBackLeftBuffer);
        gDeformedMesh->vertices = gModelMesh->vertices;
        loop = FrameLoop();
        loop.beforeSwap = beforeSwap;
        gHook = {};
    }
    // One pass of the frame loop at the given music time; the picture when asked for.
    bool frame(double ms, bool capture = false) {
        gHook.seconds = ms * 0.001;
        gHook.capture = capture;
        return runFramePass(*demo, loop, injectedClock);
    }
    // count passes, 1 ms apart, starting at ms; returns the last one's picture.
    const Picture& frames(double ms, int count) {
        for (int n = 0; n < count - 1; ++n)
            frame(ms + n);
        frame(ms + count - 1, true);
        return gHook.picture;
    }
};

void expectBarsBlack(const Picture& p, const char* when) {
    auto lit = [](const uint8_t* q) { return q[0] || q[1] || q[2]; };
    EXPECT_EQ(p.count(0, 0, 1024, kBandTop, lit), 0) << "top bar, " << when;
    EXPECT_EQ(p.count(0, 641, 1024, 768, lit), 0) << "bottom bar, " << when;
}

} // namespace

TEST_F(Scenes, FlashStartsFullFadesOverAHundredFramesAndRestartsOnAChange) {
    auto outsidePanels = [](const Picture& p, auto test) {
        int n = 0;
        for (int y = kBandTop + 2; y < kBandBottom - 2; ++y)
            for (int x = 0; x < 1024; ++x)
                if (!kPanelVariant0.inset(-2).contains(x, y) &&
                    !kPanelVariant1.inset(-2).contains(x, y))
                    n += test(p.at(x, y)) ? 1 : 0;
        return n;
    };
    auto belowWhite = [](const uint8_t* q) { return minChannel(q) < 250; };
    const Picture& first = frames(0, 1);
    savePicture(first, "flash-first");
    EXPECT_EQ(outsidePanels(first, belowWhite), 0) << "the first frame is white all over";
    expectBarsBlack(first, "first frame");

    // Frame 50 adds 0.51 of white to everything.
    const Picture& fiftieth = frames(1, 49);
    EXPECT_EQ(outsidePanels(fiftieth, [](const uint8_t* q) { return minChannel(q) < 128; }), 0);
    EXPECT_GT(outsidePanels(fiftieth, belowWhite), 0);

    // Frames 100, 101 and 102, the clock all but standing still. The model's own pixels do
    // not depend on the feedback: those equal in 101 and 102 (no flash in either) must be
    // 0.01 of white (2 or 3 levels) brighter in 100.
    Picture hundredth = frames(50, 50);
    Picture after = frames(100, 1);
    const Picture& later = frames(101, 1);
    savePicture(hundredth, "flash-100");
    int steady = 0, lighter = 0;
    for (size_t i = 0; i < after.rgba.size(); i += 4) {
        int y = int(i / 4 / 1024);
        if (y < kBandTop || y >= kBandBottom || after.rgba[i] != later.rgba[i] ||
            after.rgba[i] == 255)
            continue;
        ++steady;
        int gain = hundredth.rgba[i] - after.rgba[i];
        lighter += gain >= 2 && gain <= 3 ? 1 : 0;
    }
    EXPECT_GT(steady, 20000) << "frames 101 and 102 should match where the model is";
    EXPECT_GT(lighter, steady * 95 / 100) << "frame 100 carries 0.01 of white, 101 none";

    // A change of variant restarts the flash at full strength on that very frame.
    const Picture& change = frames(3340, 1);
    EXPECT_EQ(demo->variant, 1);
    EXPECT_EQ(outsidePanels(change, belowWhite), 0);
}

TEST_F(Scenes, SceneOneShowsItsTextPanelsOnlyInVariantsZeroAndOne) {
    auto colourIn = [](const Picture& p, const Rect& r, const uint8_t* colour) {
        return p.count(r.x0, r.y0, r.x1, r.y1,
                       [&](const uint8_t* q) { return isColour(q, colour); });
    };
    auto colourAnywhere = [&](const Picture& p, const uint8_t* colour) {
        return colourIn(p, {0, 0, 1024, 768}, colour);
    };
    // Variant 0: region 2 (248 x 87) at (712, 534.5); variant 1: region 1 (304 x 70) at
    // (656, 543); over the flash and the picture alike, and nowhere else, in particular
    // not mirrored onto the left of the picture.
    struct Case {
        double ms;
        int variant;
        Rect panel;
        const uint8_t *shown, *hidden;
    } cases[] = {{500, 0, kPanelVariant0, kRegion2Colour, kRegion1Colour},
                 {4000, 1, kPanelVariant1, kRegion1Colour, kRegion2Colour}};
    for (const Case& c : cases) {
        const Picture& p = frames(c.ms, 1);
        ASSERT_EQ(demo->variant, c.variant);
        savePicture(p, "text-variant" + std::to_string(c.variant));
        Rect inner = c.panel.inset(3);
        Rect mirror = {1024 - c.panel.x1, c.panel.y0, 1024 - c.panel.x0, c.panel.y1};
        EXPECT_EQ(colourIn(p, inner, c.shown), (inner.x1 - inner.x0) * (inner.y1 - inner.y0));
        EXPECT_EQ(colourAnywhere(p, c.shown), colourIn(p, c.panel.inset(-1), c.shown));
        EXPECT_EQ(colourIn(p, mirror, c.shown), 0);
        EXPECT_EQ(colourAnywhere(p, c.hidden), 0);
    }

    // Scene 1 variants 2 and 3 and every later main-part scene: no text at all.
    for (double ms : {8000.0, 12000.0, 16000.0, 23000.0, 31000.0, 42000.0, 50000.0, 73000.0,
                      74500.0, 81000.0, 98000.0}) {
        const Picture& p = frames(ms, 1);
        for (const uint8_t* colour : {kRegion1Colour, kRegion2Colour, kRegion3Colour})
            EXPECT_EQ(colourAnywhere(p, colour), 0) << "at " << ms << " ms, scene " << demo->scene;
    }
}

TEST_F(Scenes, ModelCopiesJoinByScene) {
    struct Case {
        double ms;
        int scene;
        bool red, green, blue;
    } cases[] = {
        {1000, 1, false, false, false}, {16000, 2, false, false, false},
        {23000, 3, true, false, false}, {31000, 4, true, true, false},
        {42000, 5, true, true, false},  {50000, 6, true, true, true},
        {73000, 70, true, true, true},  {77000, 71, true, true, true},
    };
    // Each case's camera has all its copies in view (variant 0's close-up of the later
    // scenes loses the green one off the edge).
    // In order, so a colour absent from a scene has never been drawn before it either
    // (the feedback could otherwise carry it over).
    for (const Case& c : cases) {
        const Picture& p = frames(c.ms, 101); // past the flash of the scene change
        ASSERT_EQ(demo->scene, c.scene);
        savePicture(p, "copies-scene" + std::to_string(c.scene));
        bool present[3] = {c.red, c.green, c.blue};
        for (int channel = 0; channel < 3; ++channel) {
            int n = p.count(0, kBandTop, 1024, kBandBottom,
                            [&](const uint8_t* q) { return strongly(q, channel); });
            if (present[channel])
                EXPECT_GT(n, 1000) << "scene " << c.scene << ", channel " << channel;
            else
                EXPECT_EQ(n, 0) << "scene " << c.scene << ", channel " << channel;
        }
        expectBarsBlack(p, ("scene " + std::to_string(c.scene)).c_str());
    }
}

TEST_F(Scenes, GreenCopyMovesOutFromSceneSeven) {
    // Scenes 4 and 732 share variant 1, the camera looking down from above, so only the
    // green copy's place differs: x 62 before scene 7, 75 from it on. World +x is to the
    // left on screen in that view.
    auto greenCentre = [](const Picture& p) {
        double sum = 0;
        int n = 0;
        for (int y = kBandTop; y < kBandBottom; ++y)
            for (int x = 0; x < 1024; ++x)
                if (strongly(p.at(x, y), 1)) {
                    sum += x;
                    ++n;
                }
        return n ? sum / n : -1.0;
    };
    double before = greenCentre(frames(31000, 101));
    ASSERT_EQ(demo->scene, 4);
    double after = greenCentre(frames(82000, 101));
    ASSERT_EQ(demo->scene, 732);
    ASSERT_EQ(demo->variant, 1);
    ASSERT_GT(before, 0);
    ASSERT_GT(after, 0);
    EXPECT_LT(after, before - 20) << "green copy at " << before << " then " << after;
}

TEST_F(Scenes, FeedbackFillsTheBackgroundInsideTheBand) {
    // Time moves at the real rate here, so the background turns and swirls.
    for (int n = 0; n < 150; ++n)
        frame(50000 + n * 16.7);
    const Picture& p = frames(50000 + 150 * 16.7, 1);
    savePicture(p, "feedback");
    expectBarsBlack(p, "after 150 frames");
    int dark = p.count(0, kBandTop, 1024, kBandBottom,
                       [](const uint8_t* q) { return q[0] < 8 && q[1] < 8 && q[2] < 8; });
    EXPECT_LT(dark, 1024 * 512 / 4) << "the background behind the models stays lit";
    // Target 1 holds the reduced picture for the next frame.
    Picture reduced = readTarget(*demo, 1, 256, 128);
    int lit =
        reduced.count(0, 0, 256, 128, [](const uint8_t* q) { return q[0] + q[1] + q[2] > 30; });
    EXPECT_GT(lit, 256 * 128 / 2);
}

TEST_F(Scenes, CameraFollowsTheVariantWithTheSideViewInSceneSix) {
    struct Case {
        double ms;
        int scene, variant;
        double eye[3], center[3];
    } cases[] = {
        {500, 1, 0, {-30, 35, -16}, {-27, 35, 0}}, {4000, 1, 1, {0, 70, -1}, {0, 30, 0}},
        {8000, 1, 2, {0, 5, -50}, {0, 45, 0}},     {12000, 1, 3, {0, 50, -50}, {0, 30, 0}},
        {16000, 2, 3, {0, 50, -50}, {0, 30, 0}},   {50000, 6, 3, {-30, 35, -50}, {-20, 30, 0}},
        {77000, 71, 3, {0, 50, -50}, {0, 30, 0}},
    };
    auto expected = [](GLenum mode, auto load) {
        std::array<float, 16> m;
        glMatrixMode(mode);
        glPushMatrix();
        glLoadIdentity();
        load();
        glGetFloatv(mode == GL_PROJECTION ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX, m.data());
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        return m;
    };
    const std::array<float, 16> projection =
        expected(GL_PROJECTION, [] { gluPerspective(60, 2, 0.01f, 1000); });
    for (const Case& c : cases) {
        frames(c.ms, 1);
        ASSERT_EQ(demo->scene, c.scene);
        ASSERT_EQ(demo->variant, c.variant);
        std::array<float, 16> view = expected(GL_MODELVIEW, [&] {
            gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.center[0], c.center[1], c.center[2], 0, 1, 0);
        });
        // The picture's matrices stay in target 3's context after the frame.
        std::array<float, 16> gotView, gotProjection;
        beginTarget(*demo, 3, kBackLeftBuffer);
        glGetFloatv(GL_MODELVIEW_MATRIX, gotView.data());
        glGetFloatv(GL_PROJECTION_MATRIX, gotProjection.data());
        endTarget(*demo, 3, kBackLeftBuffer);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(gotView[i], view[i], 1e-4f) << "at " << c.ms << " ms, element " << i;
            EXPECT_NEAR(gotProjection[i], projection[i], 1e-4f) << "element " << i;
        }
    }
}

TEST_F(Scenes, SceneOneKeepsTheRestShapeAndSceneTwoBendsIt) {
    frames(1000, 3);
    ASSERT_EQ(demo->scene, 1);
    auto moved = [] {
        float most = 0;
        for (size_t i = 0; i < gModelMesh->vertices.size(); ++i) {
            Vec3 d = gDeformedMesh->vertices[i] - gModelMesh->vertices[i];
            most = std::max(most, std::fabs(d.x) + std::fabs(d.y) + std::fabs(d.z));
        }
        return most;
    };
    EXPECT_EQ(moved(), 0.0f);
    frames(16000, 1);
    ASSERT_EQ(demo->scene, 2);
    EXPECT_GT(moved(), 1.0f) << "the lattice bend shows from the first frame of scene 2";
}

TEST_F(Scenes, EndSceneIsDarkRedWithTheModelAndTwoPanelsAndNoBars) {
    frames(100000, 5);
    const Picture& p = frames(105040, 1); // the first end-part frame: no flash
    ASSERT_EQ(demo->part, 3);
    savePicture(p, "end");
    const uint8_t kBackground[3] = {32, 0, 0};
    auto background = [&](const uint8_t* q) { return isColour(q, kBackground, 1); };
    // The corners and the top and bottom rows, where the letterbox bars would be.
    EXPECT_EQ(p.count(0, 0, 1024, 100, background), 1024 * 100);
    EXPECT_EQ(p.count(0, 668, 1024, 768, background), 1024 * 100);
    // Region 1 centred at (360, 349), region 3 below it at (425, 417).
    EXPECT_EQ(
        p.count(363, 352, 661, 416, [](const uint8_t* q) { return isColour(q, kRegion1Colour); }),
        298 * 64);
    EXPECT_EQ(
        p.count(428, 420, 650, 442, [](const uint8_t* q) { return isColour(q, kRegion3Colour); }),
        222 * 22);
    // The model: lit grey pixels in several flat shades, one per facet facing the light.
    std::set<int> shades;
    int model = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            const uint8_t* q = p.at(x, y);
            if (q[0] > 48 && std::abs(q[0] - q[1]) <= 2 && std::abs(q[1] - q[2]) <= 2) {
                ++model;
                shades.insert(q[0] / 4);
            }
        }
    EXPECT_GT(model, 2000);
    EXPECT_GE(shades.size(), 5u);

    const Picture& later = frames(110000, 1);
    EXPECT_EQ(later.count(0, 0, 1024, 100, background), 1024 * 100);
    EXPECT_FALSE(frame(120000)) << "the run ends at 120 s";
}

TEST_F(Scenes, NoGLErrorInAnyScene) {
    gHook.checkErrors = true;
    takeGlErrors(*demo); // start clean
    // Every row of the script, a few frames each, then the end of the run.
    const double starts[] = {0,     3340,  7290,  11000, 15186, 22530, 30460, 41000,
                             49500, 72160, 74000, 76000, 80000, 82000, 83500, 85500,
                             87500, 91000, 93000, 95000, 97000, 105040};
    for (double ms : starts)
        for (int n = 0; n < 3; ++n)
            frame(ms + n * 16);
    frame(120000);
    EXPECT_TRUE(gHook.errors.empty())
        << gHook.errors.size()
        << " errors, first: " << (gHook.errors.empty() ? "" : gHook.errors[0]);
}
