// The film's models, built by code, and the layout record that tells the cameras and the
// animations where things stand.
//
// Every vertex of every model is in world coordinates (y up). The program culls scene parts
// by their stored bounding boxes without the mesh transform, so geometry is stored where it
// stands; a moving mesh is moved by its animation node relative to that rest pose:
//   - a spinning gear: node fixed matrix = translation by -pivot, position = pivot, rotation
//     about the gear's axis (its vertices are laid out around that pivot);
//   - the lift cage: fixed matrix identity, position = (0, lift height above the bottom stop, 0);
//   - the belt crates: fixed matrix identity, position = offset along the belt from their rest;
//   - meshes without a node (or with a node that holds identity) stay where they are.
// The head, the eyes, the credits letters, the screens and the closing monitor are drawn with
// an identity transform (screens and closing monitor always).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "content/geometry/kit.h"

namespace geo {

struct GearLayout {
    int32_t nodeId = 0;
    std::string meshName;
    Vec pivot;             // a point on the axle, in the middle of the gear's thickness
    Vec axis;              // unit axle direction (world)
    float pitchRadius = 0;  // meshing radius; neighbours turn at pitch-radius ratios
    int teeth = 0;
    int direction = 1;  // +1 or -1: meshing neighbours turn opposite ways
};

struct MonitorLayout {
    Vec centre;          // centre of the picture face
    Vec facing;          // unit normal of the face, toward the viewer
    Vec right, up;       // unit axes of the face as a viewer sees it
    float width = 0, height = 0;
};

struct LampLayout {
    Vec bulb;  // centre of the bulb
    Vec hook;  // where its cable hangs from: the point it swings about
};

struct SceneLayout {
    Vec electroSource;        // the discharge's fixed source, inside the back of the skull
    Vec headCentre;           // centre of the cranium
    Vec headFacing;           // unit direction the face looks
    Vec headTop, chin, noseTip;
    std::array<Vec, 2> eyes;  // eyeball centres, left then right as the head sees it
    float eyeRadius = 0;
    Vec hallMin, hallMax;     // inside of the walls, floor to roof
    Vec conveyorStart, conveyorEnd;  // belt top, centre line; crates travel start -> end
    float conveyorWidth = 0;
    Vec liftBottom, liftTop;  // cage floor centre at its lowest and highest stop
    int32_t liftCageNodeId = 0;
    std::vector<GearLayout> gears;  // the spinning gears, one mesh each
    std::array<MonitorLayout, 6> monitors;  // monitor i = part i of "screens"
    MonitorLayout closingMonitor;
    Vec creditsCentre, creditsFacing;  // middle of the front of the 3-D letters
    std::vector<LampLayout> lamps;     // the hanging lamps, mesh i of them "lamp_<i>" in "factory"
    Vec keyLight, keyLightAim;         // the spotlight under the roof and where it points: the head's pedestal
    float keyBeamLength = 0;           // its cone of light ends just above the crown, which catches it
};

const SceneLayout& sceneLayout();

// Material names the models use (the .mat files must provide each): concrete, painted metal,
// bare metal, rust, rubber, glass (opacity below 1), glowing lamps, head metal, eyes, screen,
// glowing credits letters.
const std::vector<std::string>& geometryMaterials();

// Triangle budget for all models together.
constexpr size_t kSceneTriangleBudget = 300000;

// The factory mesh of the crates that ride the conveyor, laid out kCrateSpacing apart from the
// belt's start; moving it by one spacing along the belt shows the same picture except at the
// belt's two ends.
constexpr const char* kBeltCratesMesh = "belt_crates";
constexpr float kCrateSpacing = 4.0f;

// Meshes of "factory" that move on their own, each with a node of its own, named by a prefix
// and their index: the hanging lamps ("lamp_0" is lamps[0] of the layout; each is modelled
// hanging straight down from its hook), their cones of light ("beam_0", modelled the same way)
// and the pools of light they throw on the floor ("pool_0", modelled under the lamp at rest; it
// slides over the floor as the lamp swings), and the flashes of the discharge that crawls over
// the head ("discharge_0" ...: bolts on the skull, modelled in place; a flash is shown by
// scaling its mesh about the head centre from nothing to full size). The cones, the pools and
// the key light's beam ("key_beam") are switched on by scaling them up from nothing.
constexpr const char* kLampMeshPrefix = "lamp_";
constexpr const char* kLampBeamMeshPrefix = "beam_";
constexpr const char* kLampPoolMeshPrefix = "pool_";
constexpr const char* kKeyBeamMesh = "key_beam";
constexpr const char* kDischargeMeshPrefix = "discharge_";
constexpr int kDischargeFlashes = 8;

GeoModel buildFactory();
GeoModel buildWheels();
GeoModel buildWinda();
GeoModel buildHeadBody();
// "head_eyes": the glowing rings of the irises that the eye glow pulses.
GeoModel buildHeadEyes();
// The eyes' parts in "factory": steel balls, dark pupils, clear covers and a wet glint on each.
void addEyeballs(GeoMesh& mesh);
// Text as solid letters of DejaVu Sans Bold (path: the TTF file). Throws std::runtime_error
// naming the font file when it cannot be read.
GeoModel buildCredits(const std::string& fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                      const std::string& text = "QUORVEX");
GeoModel buildScreens();
GeoModel buildBelieveScreen();

// The head's signed distance field in world coordinates (negative inside), used by its mesh
// and by checks that want the head's true surface.
float headField(const Vec& p);

// The key light on the head: a thin shell of light just outside the skull, thickest where the
// skull faces `light` and gone where it turns well away (v: how squarely it faces the light).
void addKeyLightWash(Tris& out, const Vec& light);

// The bolts of one flash of the discharge: jagged glowing ribbons that crawl from the cranium
// over the skull a little above its surface, keeping off the face; `flash` picks them.
void addDischargeFlash(Tris& out, int flash);

}  // namespace geo
