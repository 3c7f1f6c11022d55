#include "anim/properties.h"

#include <gtest/gtest.h>

#include "anim/cameras.h"
#include "formats/writers.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

class Script : public ::testing::Test {
protected:
    LogCapture log;
    PropertyRegistry registry;
};

template <class T>
T valueOf(PropertyRegistry& r, const std::string& name, float t) {
    auto* p = r.findTrack(name);
    EXPECT_NE(p, nullptr) << name;
    return p && p->provider<T>() ? p->provider<T>()->valueAt(t) : T{};
}

}  // namespace

TEST_F(Script, ExamplesOfEachEntry) {
    EXPECT_TRUE(registry.parse("end", "empty"));
    EXPECT_TRUE(registry.properties().empty());

    const std::string text =
        "ValueProperty 5 7 0 pos 0.5 1 0\n"
        "AnimProperty 3 8 0 fade\n  a 1000 0 0\n  whatever 2000 0 1\nendkeys\n"
        "AnimProperty 3 9 0 held k 0 1 4 k 100 2 8 k 200 0 0 endkeys\n"
        "AnimProperty 2 10 0 camera_changer k 0 0 1 k 10 0 5 k 20 0 9 endkeys\n"
        "CameraProperty 0 11 0 cam 7 7 1 2\n"
        "ValueProperty 4 12 0 nothing\n"
        "end trailing words are not read";
    EXPECT_TRUE(registry.parse(text, "props.scr"));
    EXPECT_TRUE(log.lines.empty());

    auto* pos = dynamic_cast<ValueProperty*>(registry.byId(7));
    ASSERT_NE(pos, nullptr);
    const sm::Vec3 v = std::get<sm::Vec3>(pos->value);
    EXPECT_EQ(v.x, 0.5f);
    EXPECT_EQ(v.y, 1.0f);
    EXPECT_EQ(v.z, 0.0f);
    EXPECT_EQ(v.w, 1.0f);
    EXPECT_FALSE(pos->isAnimated());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(dynamic_cast<ValueProperty*>(registry.byId(12))->value));

    EXPECT_FLOAT_EQ(valueOf<float>(registry, "fade", 1500.0f), 0.5f);
    EXPECT_EQ(valueOf<float>(registry, "fade", 2500.0f), 1.0f);
    EXPECT_EQ(valueOf<float>(registry, "held", 50.0f), 4.0f);   // flag 1 holds
    // Flag 2 blends: after the held first key the tangents are the end rule, -12 and
    // -12 + 6 = -6 at the real end, so at the middle 4 - 1.5 + 0.75.
    EXPECT_FLOAT_EQ(valueOf<float>(registry, "held", 150.0f), 3.25f);
    EXPECT_EQ(valueOf<int>(registry, "camera_changer", 15.0f), 5);
    EXPECT_EQ(valueOf<int>(registry, "camera_changer", 20.0f), 9);

    ASSERT_EQ(registry.cameras().size(), 1u);
    EditableCamera& cam = *registry.cameras()[0];
    EXPECT_EQ(cam.name, "cam");
    EXPECT_EQ(cam.positionProperty, pos);
    EXPECT_EQ(cam.scalarAProperty, nullptr);
    EXPECT_EQ(cam.position(0.0f).x, 0.5f);
}

TEST_F(Script, LookupIsExactAndLaterIdsWin) {
    registry.parse("ValueProperty 3 1 0 shake 1 ValueProperty 3 1 0 shake 2 ValueProperty 3 2 0 Shake 3 end", "s");
    ASSERT_NE(registry.find("shake"), nullptr);
    EXPECT_EQ(std::get<float>(dynamic_cast<ValueProperty*>(registry.find("shake"))->value), 2.0f);
    EXPECT_EQ(registry.find("Shake")->id, 2);
    EXPECT_EQ(registry.find("shak"), nullptr);
    EXPECT_EQ(registry.findTrack("shake"), nullptr);  // a constant is not a track
}

TEST_F(Script, FaultsKeepWhatWasReadAndLogOneLine) {
    EXPECT_FALSE(registry.parse("ValueProperty 2 1 0 a 5 Bogus 2 2 0 b 1 end", "x.scr"));
    EXPECT_EQ(registry.properties().size(), 1u);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("x.scr"), std::string::npos);
    EXPECT_NE(log.lines[0].find("Bogus"), std::string::npos);

    PropertyRegistry early;
    EXPECT_FALSE(early.parse("ValueProperty 2 1 0 a 5 AnimProperty 3 2 0 b k 0 0 1 k 1 0", "y.scr"));
    EXPECT_EQ(early.properties().size(), 1u);
    EXPECT_NE(log.lines.back().find("y.scr"), std::string::npos);

    PropertyRegistry missing;
    EXPECT_FALSE(missing.load("/nonexistent/props.scr"));
    EXPECT_NE(log.lines.back().find("/nonexistent/props.scr"), std::string::npos);
}

TEST_F(Script, TracksOfOtherTypesAreSkippedWhole) {
    EXPECT_TRUE(registry.parse("AnimProperty 7 1 0 odd k 0 0 1 2 3 4 5 k 1 0 endkeys ValueProperty 2 2 0 after 3 end",
                               "s"));
    EXPECT_EQ(registry.byId(1), nullptr);
    ASSERT_NE(registry.find("after"), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("odd"), std::string::npos);
}

TEST(ScriptWriterRoundTrip, ReaderGivesBackTheEntries) {
    ScriptWriter w;
    w.value(1, "count", -3);
    w.value(2, "gain", 0.1f);
    w.value(3, "where", sm::Vec3(1.0f / 3.0f, -2e-7f, 12345.678f));
    w.track(4, "letters", std::vector<ScriptKey<float>>{{2000.0f, 1.0f / 7.0f}, {1000.0f, 0.3f, true}});
    w.track(5, "screen", std::vector<ScriptKey<int>>{{0.0f, 1}, {500.0f, 2}}, 9);
    w.track(6, "path", std::vector<ScriptKey<sm::Vec3>>{{0.0f, sm::Vec3(1, 2, 3)}});
    w.camera(7, "cam", 3, 6, 2, 2);
    w.value(8, "two words", 1);
    EXPECT_FALSE(w.ok());

    TempDir dir;
    const std::string path = dir.write("props.scr", w.text());
    PropertyRegistry r;
    ASSERT_TRUE(r.load(path));
    EXPECT_EQ(r.properties().size(), 7u);
    EXPECT_EQ(std::get<int>(dynamic_cast<ValueProperty*>(r.byId(1))->value), -3);
    EXPECT_EQ(std::get<float>(dynamic_cast<ValueProperty*>(r.byId(2))->value), 0.1f);
    const sm::Vec3 where = std::get<sm::Vec3>(dynamic_cast<ValueProperty*>(r.byId(3))->value);
    EXPECT_EQ(where.x, 1.0f / 3.0f);
    EXPECT_EQ(where.y, -2e-7f);
    EXPECT_EQ(where.z, 12345.678f);
    auto* letters = r.findTrack("letters")->provider<float>();
    float time, value;
    bool step;
    ASSERT_TRUE(letters->getKey(0, time, step, value));
    EXPECT_EQ(time, 1000.0f);
    EXPECT_TRUE(step);
    ASSERT_TRUE(letters->getKey(1, time, step, value));
    EXPECT_EQ(value, 1.0f / 7.0f);
    EXPECT_EQ(r.byId(5)->type, 9);
    EXPECT_EQ(r.findTrack("screen")->provider<int>()->valueAt(600.0f), 2);
    EXPECT_EQ(r.cameras().size(), 1u);
}
