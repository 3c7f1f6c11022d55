// The film's scene as the frame's passes read it: the models, effects and pictures of the
// content, each found by name once (when the frame is prepared, and again after a reload, which
// prepares again), and the part lists built from the models. Nothing here is owned. The believe
// screen and the credits find their own models and pictures when they are made (at prepare and
// at the content load); no pass looks an asset up while it draws.
#pragma once

#include "render/frame.h"

class DemoContent;
class Effect;
class Model;
class PropertyRegistry;
class Texture;

struct FrameScene {
    // Found by the controller while loading (it binds their animations and checks them).
    Model* factory = nullptr;
    Model* wheels = nullptr;
    Model* winda = nullptr;
    Model* headBody = nullptr;
    Model* headEyes = nullptr;
    Model* credits = nullptr;
    Texture* mask = nullptr;  // may be null: no mask
    PropertyRegistry* properties = nullptr;

    // Found by findFrameAssets.
    Effect* lighting = nullptr;       // "std_lighting"
    Effect* glowShadow = nullptr;     // "std_lighting_glow_shadow"
    Effect* shadowMapping = nullptr;  // "shadow_mapping"
    Effect* earlyZ = nullptr;         // "early_z_effect": drawn with by no pass, kept with the pair
    Effect* blur = nullptr;           // may be null: no glow and no depth of field
    Effect* postProcess = nullptr;    // may be null: the scene is copied, darkened by the fade
    Effect* electro = nullptr;        // may be null: the head is not drawn
    Texture* end = nullptr;           // may be null: the end image is left out

    // Built from the models by buildPartLists.
    PartLists lists;
    PartList headParts, eyeParts, creditsParts;
};

// Finds the frame's effects and the end image in `content`, with an error line for each one
// missing. False when the frame cannot be drawn (an effect it cannot do without is missing).
bool findFrameAssets(const DemoContent& content, FrameScene& scene);

// The part lists of the scene's models: the scene lists, the head, the eyes, the credits.
void buildPartLists(FrameScene& scene);
