#include "render/frame_scene.h"

#include "assets/content.h"
#include "assets/effect.h"
#include "assets/model.h"
#include "assets/texture.h"

std::vector<std::string> findFrameAssets(const DemoContent& content, FrameScene& scene,
                                         std::vector<std::string>& notes) {
    scene.lighting = content.find<Effect>("std_lighting");
    if (!scene.lighting) return {"effect 'std_lighting' wasn't found"};
    std::vector<std::string> missing;
    scene.glowShadow = content.find<Effect>("std_lighting_glow_shadow");
    scene.shadowMapping = content.find<Effect>("shadow_mapping");
    if (!scene.glowShadow) missing.push_back("effect 'std_lighting_glow_shadow' wasn't found");
    if (!scene.shadowMapping) missing.push_back("effect 'shadow_mapping' wasn't found");
    scene.earlyZ = content.find<Effect>("early_z_effect");
    scene.blur = content.find<Effect>("blur");
    scene.postProcess = content.find<Effect>("post_process");
    scene.electro = content.find<Effect>("electro");
    scene.end = content.find<Texture>("end");
    if (!scene.end) notes.push_back("texture 'end' wasn't found; the end image is left out");
    return missing;
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
