#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

#include "content/geometry/kit.h"
#include "content/geometry/models.h"
#include "content/geometry/preview.h"

using namespace geo;

namespace {

float signedVolume(const Tris& tris) {
    float v = 0;
    for (size_t i = 0; i + 2 < tris.size(); i += 3)
        v += sm::dot(tris[i].position, sm::cross(tris[i + 1].position, tris[i + 2].position)) / 6.0f;
    return v;
}

// Unit normals and tangents, tangents orthogonal to normals, and windings that agree with
// the normals (no triangle shows its back where its normals say front).
void expectSoundVertices(const Tris& tris, const std::string& what) {
    ASSERT_EQ(tris.size() % 3, 0u) << what;
    size_t disagree = 0;
    for (size_t i = 0; i + 2 < tris.size(); i += 3) {
        const Vec face = sm::cross(tris[i + 1].position - tris[i].position, tris[i + 2].position - tris[i].position);
        for (int k = 0; k < 3; ++k) {
            const GeoVertex& v = tris[i + k];
            ASSERT_NEAR(sm::length(v.normal), 1.0f, 1e-3f) << what << " vertex " << i + k;
            ASSERT_NEAR(sm::length(v.aux), 1.0f, 1e-3f) << what << " vertex " << i + k;
            ASSERT_NEAR(sm::dot(v.normal, v.aux), 0.0f, 1e-3f) << what << " vertex " << i + k;
            if (sm::dot(face, v.normal) < 0) ++disagree;
        }
    }
    // Smooth surfaces may have the odd sliver whose vertex normals lean across it.
    EXPECT_LE(disagree, tris.size() / 200) << what;
}

void expectClosedOutward(Tris tris, const std::string& what) {
    computeTangents(tris);
    expectSoundVertices(tris, what);
    EXPECT_GT(signedVolume(tris), 0.0f) << what << " is inside out";
}

std::vector<GeoModel> allModels() {
    return {buildFactory(), buildWheels(), buildWinda(),   buildHeadBody(),
            buildHeadEyes(), buildCredits(), buildScreens(), buildBelieveScreen()};
}

}  // namespace

TEST(GeometryKit, ClosedPrimitivesFaceOutward) {
    const Affine odd = then(scale(1.0f, 2.0f, 0.5f), then(rotate(0.7f, Vec(1, 2, 3)), translate(5, -3, 2)));
    Tris box, cyl, torus, sphere, lathe, pipe, gear, extrusion, mirrored;
    addBox(box, odd, Vec(1, 2, 3));
    addCylinder(cyl, odd, 1.0f, 2.0f, 16);
    addTorus(torus, odd, 2.0f, 0.5f, 24, 12);
    addSphere(sphere, odd, 1.5f, 16, 10);
    addLathe(lathe, identityAffine(), {{0, 0}, {1, 0}, {1, 1}, {0.5f, 1.5f}, {0, 1.5f}}, 12);
    addPipe(pipe, {Vec(0, 0, 0), Vec(0, 3, 0), Vec(3, 3, 0), Vec(3, 3, 4)}, 0.3f, 10);
    addGear(gear, odd, 2.0f, 2.4f, 20, 0.5f, 0.4f);
    const Contour outer{Vec(0, 0, 0), Vec(4, 0, 0), Vec(4, 4, 0), Vec(0, 4, 0)};
    const Contour hole{Vec(1, 1, 0), Vec(3, 1, 0), Vec(3, 3, 0), Vec(1, 3, 0)};  // same orientation: filled twice
    const Contour realHole{Vec(1, 1, 0), Vec(1, 3, 0), Vec(3, 3, 0), Vec(3, 1, 0)};
    ASSERT_TRUE(addExtrusion(extrusion, identityAffine(), {outer, realHole}, 1.0f));
    addBox(mirrored, scale(-1, 1, 1), Vec(1, 1, 1));
    for (auto& [tris, name] : std::vector<std::pair<Tris*, const char*>>{
             {&box, "box"}, {&cyl, "cylinder"}, {&torus, "torus"}, {&sphere, "sphere"}, {&lathe, "lathe"},
             {&pipe, "pipe"}, {&gear, "gear"}, {&extrusion, "extrusion"}, {&mirrored, "mirrored box"}})
        expectClosedOutward(*tris, name);
    // The hole really is one: 16 - 4 square units of face, times depth 1.
    EXPECT_NEAR(signedVolume(extrusion), 12.0f, 1e-3f);
    Tris doubled;
    ASSERT_TRUE(addExtrusion(doubled, identityAffine(), {outer, hole}, 1.0f));
    EXPECT_NEAR(signedVolume(doubled), 16.0f, 1e-3f);
}

TEST(GeometryKit, TangentsFollowTextureU) {
    Tris quad;
    addQuad(quad, Vec(0, 0, 0), Vec(0, 0, -2), Vec(0, 1, -2), Vec(0, 1, 0), 0, 0, 1, 1);
    computeTangents(quad);
    for (const GeoVertex& v : quad) {
        EXPECT_NEAR(v.aux.z, -1.0f, 1e-5f);
        EXPECT_NEAR(v.normal.x, 1.0f, 1e-5f);
    }
    // A degenerate mapping still gives a usable tangent.
    Tris flat;
    addTriangle(flat, Vec(0, 0, 0), Vec(1, 0, 0), Vec(0, 1, 0), 0, 0, 0, 0, 0, 0);
    computeTangents(flat);
    expectSoundVertices(flat, "degenerate mapping");
}

TEST(GeometryKit, SmoothNormalsAverageSharedPositions) {
    Tris box;
    addBox(box, identityAffine(), Vec(2, 2, 2));
    smoothNormals(box);
    for (const GeoVertex& v : box) {
        EXPECT_NEAR(std::fabs(v.normal.x), 1 / std::sqrt(3.0f), 1e-4f);
        EXPECT_GT(sm::dot(v.normal, v.position), 0.0f);
    }
}

TEST(GeometryModels, HeadSitsAroundTheElectroSource) {
    const SceneLayout& s = sceneLayout();
    const GeoModel head = buildHeadBody();
    ASSERT_EQ(head.meshes.size(), 1u);
    const Tris& tris = head.meshes[0].parts.at(0).vertices;
    ASSERT_GT(tris.size(), 3000u);
    expectSoundVertices(tris, "head");
    EXPECT_GT(signedVolume(tris), 0.0f);
    float farthest = 0;
    for (const GeoVertex& v : tris) farthest = std::max(farthest, sm::length(v.position - s.electroSource));
    EXPECT_LT(farthest, 6.0f);
    EXPECT_GT(farthest, 4.5f) << "the head should fill the discharge's reach";
    // The source is inside the skull, close to its back.
    EXPECT_LT(headField(s.electroSource), 0.0f);
    EXPECT_GT(headField(s.electroSource - s.headFacing * 0.6f), 0.0f);
    // A face, not a ball: the nose stands out, the sockets go in, the eyes show in them.
    EXPECT_NEAR(headField(s.noseTip), 0.0f, 0.1f);
    for (const Vec& eye : s.eyes) {
        EXPECT_GT(headField(eye + s.headFacing * s.eyeRadius), 0.0f) << "eye hidden inside the head";
        EXPECT_LT(headField(eye - s.headFacing * s.eyeRadius), 0.0f) << "eye not seated in its socket";
        const Vec cheekLevel = eye + s.headFacing * 0.2f;
        EXPECT_GT(headField(cheekLevel), headField(cheekLevel + Vec(0.0f, -0.9f, 0.0f)));
    }
}

// The discharge's bolts lie just above the skull (not sunk into it, not floating off it) and keep
// off the face; the glowing irises ring the pupils, in front of the eyeballs, leaving the
// pupils dark.
TEST(GeometryModels, DischargeHugsTheSkullAndTheIrisesRingThePupils) {
    const SceneLayout& s = sceneLayout();
    const GeoModel factory = buildFactory();
    int flashes = 0;
    for (const GeoMesh& mesh : factory.meshes) {
        if (mesh.name.rfind(kDischargeMeshPrefix, 0) != 0) continue;
        ++flashes;
        ASSERT_FALSE(mesh.parts.empty()) << mesh.name;
        EXPECT_GT(mesh.parts[0].vertices.size(), 60u) << mesh.name;
        for (const GeoVertex& v : mesh.parts[0].vertices) {
            ASSERT_GT(headField(v.position), 0.0f) << mesh.name << " sinks into the skull";
            ASSERT_LT(headField(v.position), 0.1f) << mesh.name << " floats off the skull";
            const Vec q = v.position - s.headCentre;
            ASSERT_FALSE(sm::dot(q, s.headFacing) > 1.1f && q.y < 0.9f) << mesh.name << " crosses the face";
        }
    }
    EXPECT_EQ(flashes, kDischargeFlashes);
    const GeoModel eyes = buildHeadEyes();
    ASSERT_EQ(eyes.meshes.size(), 1u);
    for (const GeoVertex& v : eyes.meshes[0].parts.at(0).vertices) {
        const Vec& centre = sm::length(v.position - s.eyes[0]) < sm::length(v.position - s.eyes[1]) ? s.eyes[0] : s.eyes[1];
        const Vec out = v.position - centre;
        EXPECT_GT(sm::length(out), s.eyeRadius) << "iris inside its eyeball";
        const float fromAxis = std::acos(std::clamp(sm::dot(sm::normalized(out), s.headFacing), -1.0f, 1.0f));
        EXPECT_GT(fromAxis, 0.15f) << "the iris covers the pupil";
        EXPECT_LT(fromAxis, 0.9f) << "the iris spreads over the eyeball";
    }
}

TEST(GeometryModels, ScreensAreSixFacesMappedAcross) {
    const SceneLayout& s = sceneLayout();
    const GeoModel screens = buildScreens();
    ASSERT_EQ(screens.meshes.size(), 1u);
    const auto& parts = screens.meshes[0].parts;
    ASSERT_EQ(parts.size(), 6u);
    for (size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].materialName, parts[0].materialName);
        expectSoundVertices(parts[i].vertices, "screen " + std::to_string(i));
        Bounds b;
        float minU = 1, maxU = 0, minV = 1, maxV = 0;
        for (const GeoVertex& v : parts[i].vertices) {
            b.add(v.position);
            minU = std::min(minU, v.uv[0]), maxU = std::max(maxU, v.uv[0]), minV = std::min(minV, v.uv[1]), maxV = std::max(maxV, v.uv[1]);
            EXPECT_GT(sm::dot(v.normal, s.monitors[i].facing), 0.99f);
            // u grows to the viewer's right, v upward: the picture stands upright.
            const Vec d = v.position - s.monitors[i].centre;
            EXPECT_NEAR(v.uv[0], sm::dot(d, s.monitors[i].right) / s.monitors[i].width + 0.5f, 1e-4f);
            EXPECT_NEAR(v.uv[1], sm::dot(d, s.monitors[i].up) / s.monitors[i].height + 0.5f, 1e-4f);
        }
        EXPECT_FLOAT_EQ(minU, 0);
        EXPECT_FLOAT_EQ(maxU, 1);
        EXPECT_FLOAT_EQ(minV, 0);
        EXPECT_FLOAT_EQ(maxV, 1);
    }
}

TEST(GeometryModels, BelieveScreenTurnsThePictureBack) {
    // The picture lands in the texture turned by half a turn: image point (s, t) at texture
    // (1 - s, 1 - t). The face must show image (s, t) at the viewer's (s, t).
    const MonitorLayout& m = sceneLayout().closingMonitor;
    const GeoModel model = buildBelieveScreen();
    ASSERT_EQ(model.meshes.size(), 1u);
    ASSERT_EQ(model.meshes[0].parts.size(), 1u);
    for (const GeoVertex& v : model.meshes[0].parts[0].vertices) {
        const Vec d = v.position - m.centre;
        const float s = sm::dot(d, m.right) / m.width + 0.5f, t = sm::dot(d, m.up) / m.height + 0.5f;
        EXPECT_NEAR(v.uv[0], 1 - s, 1e-4f);
        EXPECT_NEAR(v.uv[1], 1 - t, 1e-4f);
        EXPECT_GT(sm::dot(v.normal, m.facing), 0.99f);
    }
}

TEST(GeometryModels, NodeIdsAndLayoutAgree) {
    const SceneLayout& s = sceneLayout();
    const GeoModel factory = buildFactory(), credits = buildCredits(), wheels = buildWheels(), winda = buildWinda();
    // "factory" drives both the factory and the credits models: ids must not collide across them.
    std::set<int32_t> ids;
    for (const GeoModel* m : {&factory, &credits, &wheels, &winda})
        for (const GeoMesh& mesh : m->meshes) EXPECT_TRUE(ids.insert(mesh.nodeId).second) << mesh.name;
    for (const GearLayout& g : s.gears) {
        const GeoMesh* found = nullptr;
        for (const GeoMesh& mesh : wheels.meshes)
            if (mesh.nodeId == g.nodeId) found = &mesh;
        ASSERT_NE(found, nullptr) << g.meshName;
        EXPECT_EQ(found->name, g.meshName);
        // Modelled around its pivot: the gear's extent is centred on the axle.
        const Bounds b = boundsOf(*found);
        const Vec mid = (b.lo + b.hi) * 0.5f;
        EXPECT_NEAR(mid.y, g.pivot.y, 0.05f);
        EXPECT_NEAR(mid.z, g.pivot.z, 0.05f);
    }
    // Meshing neighbours touch at their pitch circles.
    for (size_t i = 1; i < s.gears.size(); ++i)
        EXPECT_NEAR(sm::length(s.gears[i].pivot - s.gears[i - 1].pivot), s.gears[i].pitchRadius + s.gears[i - 1].pitchRadius, 1e-3f);
    bool cage = false;
    for (const GeoMesh& mesh : winda.meshes)
        if (mesh.nodeId == s.liftCageNodeId) {
            cage = true;
            EXPECT_NEAR(boundsOf(mesh).lo.y, s.liftBottom.y - 0.2f, 1e-3f);
        }
    EXPECT_TRUE(cage);
    bool creditsMesh = false, glow = false;
    for (const GeoMesh& mesh : factory.meshes) {
        creditsMesh = creditsMesh || mesh.name.rfind("credits", 0) == 0;
        for (const GeoPart& part : mesh.parts) glow = glow || part.materialName.rfind("glow", 0) == 0;
    }
    EXPECT_TRUE(creditsMesh);
    EXPECT_TRUE(glow);
}

TEST(GeometryModels, WholeSceneIsSoundAndWithinBudget) {
    const std::vector<GeoModel> models = allModels();
    const std::set<std::string> materials(geometryMaterials().begin(), geometryMaterials().end());
    size_t total = 0;
    for (const GeoModel& model : models) {
        total += triangleCount(model);
        for (const GeoMesh& mesh : model.meshes)
            for (const GeoPart& part : mesh.parts) {
                EXPECT_TRUE(materials.count(part.materialName)) << mesh.name << " uses unlisted material " << part.materialName;
                EXPECT_FALSE(part.vertices.empty()) << mesh.name;
                expectSoundVertices(part.vertices, mesh.name + "/" + part.materialName);
            }
    }
    EXPECT_LT(total, kSceneTriangleBudget);
    // Everything stays inside the hall, within the far plane of a camera standing in it.
    const SceneLayout& s = sceneLayout();
    for (const GeoModel& model : models) {
        const Bounds b = boundsOf(model);
        EXPECT_GE(b.lo.x, s.hallMin.x - 2);
        EXPECT_LE(b.hi.x, s.hallMax.x + 2);
        EXPECT_GE(b.lo.z, s.hallMin.z - 2);
        EXPECT_LE(b.hi.z, s.hallMax.z + 2);
    }
}

TEST(GeometryModels, CreditsAreSolidLetters) {
    const GeoModel credits = buildCredits();
    ASSERT_EQ(credits.meshes.size(), 1u);
    Tris all;
    for (const GeoPart& part : credits.meshes[0].parts) all.insert(all.end(), part.vertices.begin(), part.vertices.end());
    // Seven closed letters, three of them with holes: positive volume means outward faces.
    EXPECT_GT(signedVolume(all), 5.0f);
    const Bounds b = boundsOf(credits);
    EXPECT_NEAR((b.lo.x + b.hi.x) * 0.5f, sceneLayout().creditsCentre.x, 0.5f);
    EXPECT_NEAR(b.hi.z, sceneLayout().creditsCentre.z, 1e-3f);
    EXPECT_GT(b.hi.x - b.lo.x, 12.0f);
    EXPECT_THROW(buildCredits("/nonexistent/font.ttf"), std::runtime_error);
}

TEST(GeometryPreview, DrawsFrontFacesAndFlagsBackFaces) {
    GeoModel model;
    model.meshes.push_back(GeoMesh{1, "box", {}});
    addBox(partOf(model.meshes[0], "concrete"), identityAffine(), Vec(2, 2, 2));
    const PreviewCamera camera{Vec(0, 0, 6), Vec(0, 0, 0), 45};
    PreviewImage image = renderPreview({&model}, camera, 64, 64);
    const unsigned char* centre = &image.rgb[(32 * 64 + 32) * 3];
    EXPECT_GT(centre[0] + centre[1] + centre[2], 100);
    EXPECT_FALSE(centre[0] == 255 && centre[1] == 0);
    for (size_t i = 0; i + 2 < model.meshes[0].parts[0].vertices.size(); i += 3)
        std::swap(model.meshes[0].parts[0].vertices[i + 1], model.meshes[0].parts[0].vertices[i + 2]);
    image = renderPreview({&model}, camera, 64, 64);
    centre = &image.rgb[(32 * 64 + 32) * 3];
    EXPECT_EQ(centre[0], 255);
    EXPECT_EQ(centre[1], 0);
}

// Not a check: with VOLTARESCA_GEOMETRY_PREVIEW=<folder> set, draws the models from several
// cameras so they can be looked at.
TEST(GeometryPreview, WritesPicturesWhenAsked) {
    const char* folder = std::getenv("VOLTARESCA_GEOMETRY_PREVIEW");
    if (!folder) GTEST_SKIP() << "set VOLTARESCA_GEOMETRY_PREVIEW to a folder to get pictures";
    const SceneLayout& s = sceneLayout();
    const GeoModel head = buildHeadBody(), eyes = buildHeadEyes(), factory = buildFactory(), wheels = buildWheels(),
                   winda = buildWinda(), credits = buildCredits(), screens = buildScreens(), believe = buildBelieveScreen();
    const Vec h = s.headCentre;
    struct Shot {
        const char* name;
        std::vector<const GeoModel*> models;
        PreviewCamera camera;
    };
    const std::vector<Shot> shots = {
        {"head_front", {&head, &eyes}, {h + Vec(0, 0, 14), h + Vec(0, -1, 0), 40}},
        {"head_three_quarter", {&head, &eyes}, {h + Vec(9, 2, 10), h + Vec(0, -1, 0), 40}},
        {"head_profile", {&head, &eyes}, {h + Vec(14, 0, 0), h + Vec(0, -1, 0), 40}},
        {"head_back", {&head, &eyes}, {h + Vec(-6, 4, -11), h + Vec(0, -1, 0), 40}},
        {"head_below", {&head, &eyes}, {h + Vec(3, -6, 10), h + Vec(0, -1, 0), 40}},
        {"hall_wide", {&factory, &wheels, &winda, &head, &eyes, &credits, &screens, &believe},
         {h + Vec(-24, 3, 22), h + Vec(5, -4, -10), 70}},
        {"hall_back", {&factory, &wheels, &winda, &head, &eyes, &credits, &screens, &believe},
         {h + Vec(22, 2, -20), h + Vec(-8, -4, 10), 70}},
        {"gears", {&factory, &wheels}, {s.gears[1].pivot + Vec(16, 1, 0), s.gears[1].pivot, 50}},
        {"lift", {&factory, &winda}, {s.liftBottom + Vec(-14, 7, 10), s.liftBottom + Vec(0, 6, 0), 55}},
        {"monitors", {&factory, &screens, &believe}, {s.monitors[4].centre + Vec(-14, 2, 3), s.monitors[4].centre, 50}},
        {"credits", {&factory, &credits}, {s.creditsCentre + Vec(0, -3, 20), s.creditsCentre, 55}},
    };
    for (const Shot& shot : shots) {
        std::string error;
        const std::string path = std::string(folder) + "/" + shot.name + ".png";
        EXPECT_TRUE(writePreviewPng(renderPreview(shot.models, shot.camera, 480, 360), path, error)) << error;
    }
}
