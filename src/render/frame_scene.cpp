#include "render/frame_scene.h"

#include "assets/content.h"
#include "assets/effect.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "base/log.h"

bool findFrameAssets(const DemoContent& content, FrameScene& scene) {
    scene.lighting = content.find<Effect>("std_lighting");
    if (!scene.lighting) {
        logError("effect 'std_lighting' wasn't found");
        return false;
    }
    scene.glowShadow = content.find<Effect>("std_lighting_glow_shadow");
    scene.shadowMapping = content.find<Effect>("shadow_mapping");
    if (!scene.glowShadow) logError("effect 'std_lighting_glow_shadow' wasn't found");
    if (!scene.shadowMapping) logError("effect 'shadow_mapping' wasn't found");
    if (!scene.glowShadow || !scene.shadowMapping) return false;
    scene.earlyZ = content.find<Effect>("early_z_effect");
    scene.blur = content.find<Effect>("blur");
    scene.postProcess = content.find<Effect>("post_process");
    scene.electro = content.find<Effect>("electro");
    scene.end = content.find<Texture>("end");
    if (!scene.end) logError("texture 'end' wasn't found; the end image is left out");
    return true;
}

void buildPartLists(FrameScene& scene) {
    scene.lists = buildPartLists(scene.factory, scene.wheels, scene.winda);
    scene.headParts.clear();
    scene.eyeParts.clear();
    scene.creditsParts.clear();
    if (scene.headBody) collectParts(scene.headParts, scene.headBody->meshes);
    if (scene.headEyes) collectParts(scene.eyeParts, scene.headEyes->meshes);
    if (scene.credits) collectParts(scene.creditsParts, scene.credits->meshes);
}
