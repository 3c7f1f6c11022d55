// The generated archive passes the content check, the check names what breaks it, and the
// film's timeline keeps its promises (shots on beats to the end, subjects in view, gears that
// mesh, a closing monitor whose screen index stays in range).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "anim/properties.h"
#include "formats/writers.h"
#include "assets/animation.h"
#include "content/check/content_check.h"
#include "content/film/film.h"
#include "content/geometry/models.h"
#include "content/audio/music.h"
#include "content/pictures/pictures.h"

namespace {

// The generated archive (the sanitizer flavour reads the plain build's), or nothing.
const content::ArchiveEntries* generatedArchive() {
    static const content::ArchiveEntries* entries = [] () -> const content::ArchiveEntries* {
        if (!std::ifstream(VOLTARESCA_ARCHIVE)) return nullptr;
        return new content::ArchiveEntries(content::readArchive(VOLTARESCA_ARCHIVE));
    }();
    return entries;
}

#define NEED_ARCHIVE(entries)                                                                        \
    const content::ArchiveEntries* entries = generatedArchive();                                     \
    if (!entries) GTEST_SKIP() << "no archive at " VOLTARESCA_ARCHIVE " (built with VOLTARESCA_CONTENT=OFF?)"

bool mentions(const std::vector<std::string>& problems, const std::string& word) {
    for (const std::string& p : problems)
        if (p.find(word) != std::string::npos) return true;
    return false;
}

std::string joined(const std::vector<std::string>& problems) {
    std::string all;
    for (const std::string& p : problems) all += p + "\n";
    return all;
}

TEST(ContentCheck, GeneratedArchiveIsWholeAndSmallEnough) {
    NEED_ARCHIVE(entries);
    const std::vector<std::string> problems = content::checkContent(*entries);
    EXPECT_TRUE(problems.empty()) << joined(problems);
    std::ifstream file(VOLTARESCA_ARCHIVE, std::ios::binary | std::ios::ate);
    EXPECT_LT(static_cast<long long>(file.tellg()), 24LL * 1024 * 1024);
}

TEST(ContentCheck, NamesWhatIsMissingOrOutOfRange) {
    NEED_ARCHIVE(entries);
    content::ArchiveEntries broken = *entries;
    broken.erase("models/screens.geo");
    broken.erase("textures/rust.jpg");
    broken.erase("effects/electro.cfx");
    broken.erase("textures/credits/");
    broken.erase("music/demotune.mp3");
    ScriptWriter script;
    script.track(1, "shake", std::vector<ScriptKey<float>>{{0, 0}});
    script.track(2, "electro_noise", std::vector<ScriptKey<float>>{{0, 0}});
    script.value(3, "images.end", 1.0f);  // a constant where a track is wanted
    script.track(4, "believe_screen.letters", std::vector<ScriptKey<float>>{{0, 0}});
    script.track(5, "believe_screen.screen_index", std::vector<ScriptKey<int>>{{0, 0, true}, {1000, 5, true}});
    const std::string text = script.text();
    broken["properties/props.scr"].assign(text.begin(), text.end());

    const std::vector<std::string> problems = content::checkContent(broken);
    EXPECT_TRUE(mentions(problems, "model 'screens'")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "texture 'rust.jpg'")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "effect 'electro'")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "voltaresca_data/textures/credits/")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "music/demotune.mp3")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "'images.end' must be an AnimProperty")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "'believe_screen.screen_index' leaves its range")) << joined(problems);
}

TEST(ContentCheck, CatchesAWrongScreensModelAndAMaterialNameMismatch) {
    NEED_ARCHIVE(entries);
    content::ArchiveEntries broken = *entries;
    GeoMesh one{0, "screens", {GeoPart{"screen", {}}}};
    const std::string screens = encodeGeo({one});
    broken["models/screens.geo"].assign(screens.begin(), screens.end());
    GeoMesh odd{0, "thing", {GeoPart{"no_such_material", {}}}};
    const std::string thing = encodeGeo({odd});
    broken["models/thing.geo"].assign(thing.begin(), thing.end());
    broken["models/cut.geo"] = {1, 0, 0};
    const std::vector<std::string> problems = content::checkContent(broken);
    EXPECT_TRUE(mentions(problems, "'screens' has 1 parts, wants 6")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "material 'no_such_material'")) << joined(problems);
    EXPECT_TRUE(mentions(problems, "models/cut.geo is cut short")) << joined(problems);
}

TEST(ContentCheck, ReadingAMissingArchiveSaysWhere) {
    try {
        content::readArchive("/nonexistent/demodat");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/demodat"), std::string::npos);
    }
}

TEST(FilmTimeline, ShotsCutOnBeatsAndCoverTheFilm) {
    const std::vector<content::Shot> shots = content::filmShots();
    const std::vector<float> beats = content::beatTimes();
    ASSERT_GE(shots.size(), 10u);
    float previousEnd = 0.0f;
    for (const content::Shot& shot : shots) {
        const float end = shot.keys.back().time;
        EXPECT_GT(end, previousEnd) << shot.what << ": shots must end in order";
        EXPECT_NEAR(shot.keys.front().time, previousEnd, 0.01f) << shot.what << " starts where the last one cut";
        if (&shot != &shots.back()) {
            bool onBeat = false;
            for (float b : beats) onBeat = onBeat || std::fabs(b - end) < 1e-3f;
            EXPECT_TRUE(onBeat) << shot.what << " cuts at " << end << " s, off the beat";
        }
        previousEnd = end;
    }
    EXPECT_GE(previousEnd, content::kFilmEndSeconds) << "the last shot must hold past the end of the film";
}

TEST(FilmTimeline, EverySubjectIsInFrontOfTheCameraAndWithinTheFarPlane) {
    for (const content::Shot& shot : content::filmShots())
        for (size_t k = 0; k < shot.keys.size(); ++k) {
            const CameraShotKey& key = shot.keys[k];
            const sm::Vec3 subject = shot.subjectAt(k), forward = sm::normalized(key.target - key.eye);
            const float depth = sm::dot(subject - key.eye, forward);
            EXPECT_GT(depth, 2.0f) << shot.what << " at " << key.time << " s: subject behind or at the near plane";
            EXPECT_LT(sm::length(subject - key.eye), 200.0f) << shot.what << " at " << key.time << " s";
            const float offAxis = sm::length(subject - key.eye - forward * depth) / depth;
            EXPECT_LT(offAxis, std::tan(sm::toRadians(25.0f))) << shot.what << " at " << key.time << " s: subject off screen";
        }
}

TEST(FilmTimeline, HeadShotsLookAtTheDischarge) {
    const geo::SceneLayout& s = geo::sceneLayout();
    EXPECT_LT(sm::length(s.headCentre - s.electroSource), 6.0f);
    int keys = 0;
    for (const content::Shot& shot : content::filmShots()) {
        if (std::string(shot.what).rfind("head", 0) != 0) continue;
        for (const CameraShotKey& key : shot.keys) {
            ++keys;
            const sm::Vec3 forward = sm::normalized(key.target - key.eye);
            const float depth = sm::dot(s.electroSource - key.eye, forward);
            ASSERT_GT(depth, 2.0f) << shot.what << " at " << key.time << " s: the discharge is behind the camera";
            const float offAxis = sm::length(s.electroSource - key.eye - forward * depth) / depth;
            EXPECT_LT(offAxis, std::tan(sm::toRadians(20.0f))) << shot.what << " at " << key.time << " s: the discharge is off screen";
        }
    }
    EXPECT_GT(keys, 6) << "the head shots are gone";
}

TEST(FilmTimeline, GearsTurnAtTheirToothRatios) {
    const std::vector<unsigned char> bytes = encodeAnimation(content::wheelsAnimation());
    std::unique_ptr<Animation> root = parseAnimation(bytes.data(), bytes.size());
    ASSERT_TRUE(root);
    const geo::SceneLayout& s = geo::sceneLayout();
    ASSERT_FALSE(s.gears.empty());
    const Animation* first = root->findNode(s.gears.front().nodeId);
    ASSERT_TRUE(first && first->spinning);
    for (const geo::GearLayout& g : s.gears) {
        const Animation* node = root->findNode(g.nodeId);
        ASSERT_TRUE(node) << g.meshName;
        EXPECT_TRUE(node->spinning) << g.meshName;
        EXPECT_NEAR(node->spinSpeed * static_cast<float>(g.teeth), first->spinSpeed * static_cast<float>(s.gears.front().teeth),
                    1e-3f)
            << g.meshName << " would grind against its neighbour";
    }
}

TEST(FilmTimeline, BeltCratesTravelForwardAndStayOnTheBelt) {
    const geo::GeoModel factory = geo::buildFactory();
    const geo::GeoMesh* crates = nullptr;
    for (const geo::GeoMesh& m : factory.meshes)
        if (m.name == geo::kBeltCratesMesh) crates = &m;
    ASSERT_TRUE(crates);
    const std::vector<unsigned char> bytes = encodeAnimation(content::factoryAnimation(factory));
    std::unique_ptr<Animation> root = parseAnimation(bytes.data(), bytes.size());
    ASSERT_TRUE(root);
    Animation* node = root->findNode(crates->nodeId);
    ASSERT_TRUE(node && node->positionTrack);
    const geo::SceneLayout& s = geo::sceneLayout();
    const sm::Vec3 along = sm::normalized(s.conveyorEnd - s.conveyorStart);
    const float length = sm::length(s.conveyorEnd - s.conveyorStart);
    // The crates' rest pose lies on the belt with room for one spacing of travel.
    for (const geo::GeoPart& part : crates->parts)
        for (const geo::GeoVertex& v : part.vertices) {
            const float d = sm::dot(v.position - s.conveyorStart, along);
            EXPECT_GT(d, -1.0f);
            EXPECT_LT(d + geo::kCrateSpacing, length + 1.0f);
        }
    // Sampled at a film's frame rate: the offset stays within one spacing and moves forward,
    // apart from the jump back once a cycle.
    float previous = -1.0f, travelled = 0.0f;
    int jumps = 0;
    for (float t = 60.0f; t < 80.0f; t += 1.0f / 60.0f) {
        const float intoCycle = std::fmod(t, content::kBeltCycleSeconds);
        if (intoCycle < 0.005f || intoCycle > content::kBeltCycleSeconds - 0.005f) continue;  // the jump
        sm::Vec3 offset;
        node->positionTrack->valueAt(t, &offset);
        const float d = sm::dot(offset, along);
        EXPECT_GE(d, -0.05f) << t;
        EXPECT_LE(d, geo::kCrateSpacing + 0.05f) << t;
        EXPECT_LT(sm::length(offset - along * d), 1e-3f) << "off the belt at " << t;
        if (previous >= 0.0f) {
            if (d < previous - geo::kCrateSpacing * 0.5f) {
                ++jumps;
            } else {
                EXPECT_GT(d, previous - 0.02f) << "the belt runs backwards at " << t << " s";
                travelled += d - previous;
            }
        }
        previous = d;
    }
    EXPECT_GT(travelled, 20.0f) << "the crates hardly move";
    EXPECT_GE(jumps, 3);
}

// Where a node of an animation puts a point of its mesh at a time.
struct Placed : ITransformable {
    float m[16];
    bool isCamera() const override { return false; }
    int32_t nodeId() const override { return 0; }
    float* transform() override { return m; }
};

sm::Vec3 placedAt(Animation& node, float seconds, const sm::Vec3& p) {
    Placed placed;
    float root[16];
    sm::identity(root);
    node.target = &placed;
    node.evaluate(seconds, root, 0.0f);
    node.target = nullptr;
    const float* m = placed.m;
    return sm::Vec3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                    m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

// The hall answers the heavy hits: every lamp swings out (and was still before the drop) with
// its cone of light, its pool of light stays where the cone meets the floor, and the camera
// shakes on the same hits.
TEST(FilmTimeline, LampsSwingWithTheirPoolsAndTheCameraShakesOnTheHeavyHits) {
    const geo::GeoModel factory = geo::buildFactory();
    const std::vector<unsigned char> bytes = encodeAnimation(content::factoryAnimation(factory));
    std::unique_ptr<Animation> root = parseAnimation(bytes.data(), bytes.size());
    ASSERT_TRUE(root);
    const geo::SceneLayout& s = geo::sceneLayout();
    auto nodeOf = [&](const std::string& mesh) -> Animation* {
        for (const geo::GeoMesh& m : factory.meshes)
            if (m.name == mesh) return root->findNode(m.nodeId);
        return nullptr;
    };
    const std::vector<float> hits = content::heavyHitTimes();
    ASSERT_GE(hits.size(), 5u);
    // The lights come on with eye pulses, the key light first; its beam grows from the lamp.
    const std::vector<float> accents = content::accentTimes();
    for (float on : {content::kKeyLightOnSeconds, content::kHallLightsOnSeconds})
        EXPECT_TRUE(std::any_of(accents.begin(), accents.end(), [&](float a) { return std::fabs(a - on) < 1e-3f; })) << on;
    Animation* key = nodeOf(geo::kKeyBeamMesh);
    ASSERT_TRUE(key);
    EXPECT_LT(sm::length(placedAt(*key, content::kKeyLightOnSeconds - 0.5f, s.keyLightAim) - s.keyLight), 1e-3f);
    EXPECT_LT(sm::length(placedAt(*key, content::kKeyLightOnSeconds + 0.5f, s.keyLightAim) - s.keyLightAim), 1e-3f);
    for (size_t i = 0; i < s.lamps.size(); ++i) {
        Animation* lamp = nodeOf(geo::kLampMeshPrefix + std::to_string(i));
        Animation* beam = nodeOf(geo::kLampBeamMeshPrefix + std::to_string(i));
        Animation* pool = nodeOf(geo::kLampPoolMeshPrefix + std::to_string(i));
        ASSERT_TRUE(lamp && beam && pool) << "lamp " << i;
        const geo::LampLayout& l = s.lamps[i];
        // Its light is off (shrunk to the hook) until the hall's lights come on.
        EXPECT_LT(sm::length(placedAt(*beam, content::kHallLightsOnSeconds - 1.0f, l.bulb) - l.hook), 1e-3f) << "beam " << i;
        EXPECT_LT(sm::length(placedAt(*beam, hits.front() + 0.6f, l.bulb) - placedAt(*lamp, hits.front() + 0.6f, l.bulb)), 1e-3f)
            << "beam " << i << " doesn't swing with its lamp";
        EXPECT_LT(sm::length(placedAt(*lamp, hits.front() - 1.0f, l.bulb) - l.bulb), 1e-3f) << "lamp " << i << " moves before the drop";
        for (float hit : hits) {
            const sm::Vec3 before = placedAt(*lamp, hit - 0.05f, l.bulb), out = placedAt(*lamp, hit + 0.6f, l.bulb);
            EXPECT_GT(sm::length(out - before), 0.25f) << "lamp " << i << " hardly swings on the hit at " << hit << " s";
            // The cone's axis runs from the hook through the bulb down to the floor.
            const sm::Vec3 down = sm::normalized(out - l.hook), floor = l.hook + down * (l.hook.y / -down.y);
            const sm::Vec3 rest(l.hook.x, 0.0f, l.hook.z);
            EXPECT_LT(sm::length(placedAt(*pool, hit + 0.6f, rest) - floor), 0.2f) << "pool " << i << " at " << hit + 0.6f << " s";
        }
    }
    PropertyRegistry registry;
    ASSERT_TRUE(registry.parse(content::propertyScript(), "props.scr"));
    AnimProperty* shake = registry.findTrack("shake");
    ASSERT_TRUE(shake);
    for (float hit : hits) {
        EXPECT_GE(shake->provider<float>()->valueAt(hit * 1000.0f), 0.5f) << hit;
        EXPECT_LT(std::fabs(shake->provider<float>()->valueAt(hit * 1000.0f - 200.0f)), 0.05f) << hit << ": shaking before the hit";
    }
}

// The discharge over the head: nothing before the lift ride, two flashes on each beat of the
// heavy part and all of them on its hits, gone between the beats; the cage keeps to the
// schedule that the lift shots ride with.
TEST(FilmTimeline, DischargeFlashesOnTheBeatsAndTheCageKeepsItsSchedule) {
    const geo::GeoModel factory = geo::buildFactory();
    const std::vector<unsigned char> bytes = encodeAnimation(content::factoryAnimation(factory));
    std::unique_ptr<Animation> root = parseAnimation(bytes.data(), bytes.size());
    ASSERT_TRUE(root);
    std::vector<Animation*> flashes;
    for (const geo::GeoMesh& m : factory.meshes)
        if (m.name.rfind(geo::kDischargeMeshPrefix, 0) == 0) flashes.push_back(root->findNode(m.nodeId));
    ASSERT_EQ(flashes.size(), static_cast<size_t>(geo::kDischargeFlashes));
    auto shown = [&](float t) {
        int n = 0;
        for (Animation* f : flashes) {
            sm::Vec3 scale(1, 1, 1);
            if (f && f->scaleTrack) f->scaleTrack->valueAt(t, &scale);
            n += scale.x > 0.9f ? 1 : 0;
            EXPECT_TRUE(scale.x > 0.9f || std::fabs(scale.x) < 1e-3f) << "a flash half shown at " << t << " s";
        }
        return n;
    };
    EXPECT_EQ(shown(90.0f), 0);
    EXPECT_EQ(shown(124.5f + 0.05f), geo::kDischargeFlashes);  // a heavy hit
    EXPECT_EQ(shown(125.0f + 0.05f), 2);
    EXPECT_EQ(shown(125.0f + 0.3f), 0);

    const std::vector<unsigned char> winda = encodeAnimation(content::windaAnimation());
    std::unique_ptr<Animation> lift = parseAnimation(winda.data(), winda.size());
    ASSERT_TRUE(lift);
    Animation* cage = lift->findNode(geo::sceneLayout().liftCageNodeId);
    ASSERT_TRUE(cage && cage->positionTrack);
    for (float t = 80.0f; t < 160.0f; t += 0.1f) {
        sm::Vec3 at;
        cage->positionTrack->valueAt(t, &at);
        EXPECT_NEAR(at.y, content::liftHeight(t), 0.05f) << t;
    }
    for (const content::Shot& shot : content::filmShots()) {
        if (std::string(shot.what).rfind("lift ride", 0) != 0) continue;
        const float t0 = shot.keys.front().time, t1 = shot.keys.back().time;
        const float rise = content::liftHeight(t1) - content::liftHeight(t0);
        EXPECT_GT(rise, 5.0f) << shot.what << ": the cage hardly moves";
        EXPECT_GT(shot.keys.back().eye.y - shot.keys.front().eye.y, 0.8f * rise) << shot.what << ": the camera stays behind";
    }
}

TEST(FilmTimeline, ClosingMonitorTypesThenShowsFourWords) {
    PropertyRegistry registry;
    ASSERT_TRUE(registry.parse(content::propertyScript(), "props.scr"));
    AnimProperty* index = registry.findTrack("believe_screen.screen_index");
    AnimProperty* letters = registry.findTrack("believe_screen.letters");
    AnimProperty* endImage = registry.findTrack("images.end");
    ASSERT_TRUE(index && letters && endImage);
    EXPECT_EQ(index->provider<int>()->valueAt(201000.0f), 0);
    EXPECT_EQ(index->provider<int>()->valueAt(213600.0f), 4);
    EXPECT_LT(letters->provider<float>()->valueAt(200500.0f), 1.0f);
    EXPECT_FLOAT_EQ(letters->provider<float>()->valueAt(208500.0f), static_cast<float>(content::believeLetterStops().back()));
    EXPECT_FLOAT_EQ(endImage->provider<float>()->valueAt(213000.0f), 0.0f);
    EXPECT_FLOAT_EQ(endImage->provider<float>()->valueAt(220000.0f), 1.0f);
}

}  // namespace
